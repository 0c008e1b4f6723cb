// The QML test runner: every tst_*.qml beside this file runs against the
// program's real types, a real AppController (with no service) and a real
// OverviewModel that the tests fill through `testSupport`.

#include "app/launcher.h"
#include "app/qmlregistration.h"

#include "models/appcontroller.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

/// What the QML tests need from C++: filling the model and resetting state.
class TestSupport : public QObject {
    Q_OBJECT

public:
    explicit TestSupport(AppController* controller, QObject* parent = nullptr)
        : QObject(parent), m_controller(controller)
    {
    }

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
        m_controller->overviewModel()->add(item);
    }

    /// A service report for an existing item: new speeds, same identity.
    Q_INVOKABLE void changeSpeeds(uint id, int type, uint upload, uint download)
    {
        OverviewModel* model = m_controller->overviewModel();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QSharedPointer<AppItem> current = model->itemAt(row);
            if (current->id() != id || current->type() != type)
                continue;
            auto item = QSharedPointer<AppItem>::create(*current);
            item->setUploadSpeed(upload);
            item->setDownloadSpeed(download);
            model->change(item);
            return;
        }
    }

    /// Empties the model.
    Q_INVOKABLE void clearItems()
    {
        OverviewModel* model = m_controller->overviewModel();
        while (model->rowCount() > 0) {
            const QSharedPointer<AppItem> item = model->itemAt(0);
            model->remove(item->id(), item->type());
        }
    }

    /// Forgets every stored setting, as on a first start.
    Q_INVOKABLE void clearSettings()
    {
        QSettings settings;
        settings.clear();
        settings.sync();
    }

    /// A stored setting, read back as the next start would.
    Q_INVOKABLE QVariant storedSetting(const QString& key)
    {
        QSettings settings;
        settings.sync();
        return settings.value(key);
    }

    Q_INVOKABLE void storeSetting(const QString& key, const QVariant& value)
    {
        QSettings settings;
        settings.setValue(key, value);
        settings.sync();
    }

    /// The autostart entry's path (under the test's own config folder).
    Q_INVOKABLE QString autostartEntry() const;

private:
    AppController* m_controller;
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
        QSettings().clear();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        registerQmlTypes();
        m_controller = std::make_unique<AppController>();
        m_support = std::make_unique<TestSupport>(m_controller.get());
        QQmlContext* context = engine->rootContext();
        context->setContextProperty(QStringLiteral("applicationPath"),
                                    QStringLiteral("file://") + QCoreApplication::applicationDirPath() + QStringLiteral("/"));
        context->setContextProperty(QStringLiteral("appController"), m_controller.get());
        context->setContextProperty(QStringLiteral("isNeedWindowHide"), false);
        context->setContextProperty(QStringLiteral("swVersion"), QStringLiteral("1.0.54.0"));
        context->setContextProperty(QStringLiteral("needServiceEnable"), false);
        context->setContextProperty(QStringLiteral("testSupport"), m_support.get());
    }

    void cleanupTestCase()
    {
        m_support.reset();
        m_controller.reset();
    }

private:
    QTemporaryDir m_objects;
    QTemporaryDir m_config;
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<TestSupport> m_support;
};

QString TestSupport::autostartEntry() const
{
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/autostart/Kestrix.desktop");
}

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
