#pragma once

#include <QObject>
#include <QString>

/// How the scenes show a speed. The model and the controller carry kbit/s;
/// the screen shows Mbit/s. The conversion, its decimals and the maxima of an
/// application's speed bars are written here once; the scenes reach it as
/// the singleton SpeedUnits.
class SpeedUnits : public QObject {
    Q_OBJECT

public:
    /// The two application views: their upload bars round the limit apart.
    enum View { GridView, ListView };
    Q_ENUM(View)

    enum Direction { Upload, Download };
    Q_ENUM(Direction)

    explicit SpeedUnits(QObject* parent = nullptr);

    /// kbit/s as Mbit/s, not rounded (what the charts sample).
    Q_INVOKABLE double mbps(double kbps) const;
    /// kbit/s as Mbit/s with @p decimals decimals ("1.5", "50.00"), rounded
    /// as JavaScript's toFixed rounds the same number.
    Q_INVOKABLE QString mbpsText(double kbps, int decimals = 1) const;
    /// A speed bar's value: Mbit/s with one decimal.
    Q_INVOKABLE double barValue(double kbps) const;
    /// A speed bar's maximum: the speed where it exceeds the limit, else the
    /// limit; one decimal, except the limit of the list's upload bar, which
    /// is whole Mbit/s.
    Q_INVOKABLE double barMaximum(double kbps, double limitKbps, Direction direction, View view) const;
    /// A limit in whole Mbit/s, as the speed editor offers it, and back.
    Q_INVOKABLE int wholeMbps(double kbps) const;
    Q_INVOKABLE double kbpsOfWholeMbps(double mbps) const;
};
