#pragma once

#include <QObject>
#include <QString>

/// Start at logon: an XDG autostart entry whose Exec value is this program's
/// absolute path followed by " -a". "Enabled" means the entry exists and its
/// Exec value is exactly that; anything else (another path, other options,
/// quotes) reads as off.
class StartUp : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enable READ enable WRITE setEnable NOTIFY enableChanged)

public:
    explicit StartUp(QObject* parent = nullptr);
    ~StartUp() override;

    bool enable() const { return m_enabled; }

    /// $XDG_CONFIG_HOME/autostart/Kestrix.desktop (default ~/.config/autostart).
    static QString entryPath();
    /// The Exec value an enabled entry holds.
    static QString expectedCommand();

public slots:
    void setEnable(bool enable);

signals:
    void enableChanged(bool enable);

private:
    static QString readExecValue(const QString& path);

    QString m_entryPath;
    const QString m_argument = QStringLiteral(" -a");
    bool m_enabled = false;
};
