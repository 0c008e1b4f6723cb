#pragma once

#include <QObject>
#include <QString>

/// Start at logon: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/Kestrix.desktop,
/// that starts the program with " -a". "Enabled" means the entry exists, is
/// not disabled (Hidden=true, X-GNOME-Autostart-enabled=false) and its Exec
/// value, read as the Desktop Entry Specification says, is the program's
/// absolute path followed by -a; anything else (another path, other options)
/// reads as off.
class StartUp : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enable READ enable WRITE setEnable NOTIFY enableChanged)

public:
    /// For this executable.
    explicit StartUp(QObject* parent = nullptr);
    /// For the program at the absolute path @p program.
    StartUp(const QString& program, QObject* parent);
    ~StartUp() override;

    bool enable() const { return m_enabled; }

    /// $XDG_CONFIG_HOME/autostart/Kestrix.desktop (default ~/.config/autostart).
    static QString entryPath();

public slots:
    void setEnable(bool enable);

signals:
    void enableChanged(bool enable);

private:
    bool readEntry() const;

    const QString m_program;
    const QString m_entryPath;
    bool m_enabled = false;
};
