import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0

// The harness itself: the controller, the model and the support object are
// there, and the model follows what the tests add.
TestCase {
    name: "Harness"

    function test_modelFilledByTheTest() {
        testSupport.clearItems()
        var model = appController.overviewModel()
        compare(model.rowCount(), 0)
        testSupport.addItem(7, 1, "steam.exe", 2, true, 0, 1500, 20000)
        compare(model.rowCount(), 1)
        compare(model.data(model.index(0, 0), OverviewModel.AppNameRole), "steam.exe")
        compare(model.data(model.index(0, 0), OverviewModel.PinRole), true)
        testSupport.clearItems()
        compare(model.rowCount(), 0)
    }
}
