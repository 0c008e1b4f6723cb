// The QML test runner: every tst_*.qml beside this file runs against the
// program's real types, a real AppController (with no service) and a real
// OverviewModel that the tests fill through `testSupport`.

#include "app/qmlregistration.h"

#include "models/appcontroller.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

/// What the QML tests need from C++: filling the model and the settings.
class TestSupport : public QObject {
    Q_OBJECT

public:
    explicit TestSupport(OverviewModel* model) : m_model(model) {}

    /// Adds an application (type 1) or a site (type 2) to the model.
    Q_INVOKABLE void addItem(uint id, int type, const QString& name, int priority, bool pin = false,
                             uint processClass = 0, uint upload = 0, uint download = 0)
    {
        auto item = QSharedPointer<AppItem>::create(id);
        item->setType(static_cast<AppItem::AppType>(type));
        item->setName(name);
        item->setPriority(priority);
        item->setPin(pin);
        item->setProcessClass(processClass);
        item->setUploadSpeed(upload);
        item->setDownloadSpeed(download);
        m_model->add(item);
    }

    Q_INVOKABLE void clearItems()
    {
        while (m_model->rowCount() > 0)
            m_model->remove(m_model->itemAt(0)->id(), m_model->itemAt(0)->type());
    }

    /// Forgets every stored setting, as on a first start.
    Q_INVOKABLE void clearSettings() { QSettings().clear(); }

    /// A stored setting, read back as the next start would.
    Q_INVOKABLE QVariant storedSetting(const QString& key) { return QSettings().value(key); }

    Q_INVOKABLE void storeSetting(const QString& key, const QVariant& value) { QSettings().setValue(key, value); }

private:
    OverviewModel* m_model;
};

class Setup : public QObject {
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
        QCoreApplication::setApplicationName(QStringLiteral("Kestrix Command Center Tests"));
        // No service: registration fails quietly, the scenes see nothing live.
        qputenv("KESTRIX_IPC_DIR", QFile::encodeName(m_objects.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        // Test mode alone puts the settings in ~/.qttest, which every run
        // shares: two runs at once would write over each other's settings.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        registerQmlTypes();
        m_controller = std::make_unique<AppController>();
        m_support = std::make_unique<TestSupport>(m_controller->overviewModel());
        QQmlContext* context = engine->rootContext();
        context->setContextProperty(QStringLiteral("applicationPath"), QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toString());
        context->setContextProperty(QStringLiteral("appController"), m_controller.get());
        context->setContextProperty(QStringLiteral("isNeedWindowHide"), false);
        context->setContextProperty(QStringLiteral("swVersion"), QStringLiteral("1.0.54.0"));
        context->setContextProperty(QStringLiteral("needServiceEnable"), false);
        context->setContextProperty(QStringLiteral("testSupport"), m_support.get());
    }

private:
    QTemporaryDir m_objects;
    QTemporaryDir m_config;
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<TestSupport> m_support;
};

// Qt Charts draw through the widgets module and need a QApplication, as the
// program has; Qt Quick Test would otherwise make a QGuiApplication.
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "kestrix_qml", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_qml.moc"
