import QtQuick 2.12
import QtQuick.Controls 1.4 as C1
import Qt.labs.settings 1.0
import org.netvane.data 1.0

// The grid's sort chooser: four exclusive choices. Checking one announces it
// (sortSelected with its label, role and order), stores it for the next
// start and closes the window (clicked). When complete, the window checks
// the stored choice, which announces it once more.
Item {
    id: sortWindow

    signal sortSelected(string sortString, int sortColumn, int sortOrder)
    signal clicked()

    function _choose(button, role, order) {
        sortWindow.sortSelected(button.text, role, order)
        sortSettings.gridSortedRole = role
        sortSettings.gridSortedOrder = order
        // Done: the owner closes the popup, as on its frame's close button.
        sortWindow.clicked()
    }

    // The button of a stored choice: descending orders pick by role, and
    // everything else, including the defaults (0, 0), is name ascending.
    function _buttonFor(role, order) {
        if (order === Qt.DescendingOrder) {
            if (role === OverviewModel.AppNameRole)
                return nameDescendingButton
            if (role === OverviewModel.DownloadSpeedRole)
                return downloadButton
            if (role === OverviewModel.UploadSpeedRole)
                return uploadButton
        }
        return nameAscendingButton
    }

    Component.onCompleted: _buttonFor(sortSettings.gridSortedRole, sortSettings.gridSortedOrder).checked = true

    Settings {
        id: sortSettings

        property int gridSortedRole: 0
        property int gridSortedOrder: Qt.AscendingOrder
    }

    C1.ExclusiveGroup {
        id: sortGroup
    }

    Column {
        anchors.centerIn: parent
        spacing: 10

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("SORT BY")
            color: Theme.textAlt
            font.pixelSize: Theme.textSmall
        }

        RadioButtonCustom {
            id: nameAscendingButton

            objectName: "nameAscendingButton"
            text: qsTr("NAME (A-Z)")
            exclusiveGroup: sortGroup
            onCheckedChanged: if (checked) sortWindow._choose(nameAscendingButton, OverviewModel.AppNameRole, Qt.AscendingOrder)
        }

        RadioButtonCustom {
            id: nameDescendingButton

            objectName: "nameDescendingButton"
            text: qsTr("NAME (Z-A)")
            exclusiveGroup: sortGroup
            onCheckedChanged: if (checked) sortWindow._choose(nameDescendingButton, OverviewModel.AppNameRole, Qt.DescendingOrder)
        }

        RadioButtonCustom {
            id: downloadButton

            objectName: "downloadButton"
            text: qsTr("DOWNLOAD SPEED")
            exclusiveGroup: sortGroup
            onCheckedChanged: if (checked) sortWindow._choose(downloadButton, OverviewModel.DownloadSpeedRole, Qt.DescendingOrder)
        }

        RadioButtonCustom {
            id: uploadButton

            objectName: "uploadButton"
            text: qsTr("UPLOAD SPEED")
            exclusiveGroup: sortGroup
            onCheckedChanged: if (checked) sortWindow._choose(uploadButton, OverviewModel.UploadSpeedRole, Qt.DescendingOrder)
        }
    }
}
