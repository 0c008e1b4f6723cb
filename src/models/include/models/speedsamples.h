#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

#include <array>

/// The arithmetic of a speed chart: the last fifteen samples in Mbit/s
/// (oldest first), their weighted average and their maximum, the unit the
/// chart counts in (Gbit/s from 100 Mbit/s on) and the top of its value axis.
/// The chart adds one sample a second and binds to the rest.
class SpeedSamples : public QObject {
    Q_OBJECT
    /// The weighted average in Mbit/s, one decimal.
    Q_PROPERTY(QString roundedValue READ roundedValue NOTIFY changed)
    /// The largest sample in Mbit/s, one decimal.
    Q_PROPERTY(QString maxValue READ maxValue NOTIFY changed)
    /// Whether the chart counts in Gbit/s.
    Q_PROPERTY(bool gigabits READ gigabits NOTIFY changed)
    /// What the chart divides Mbit/s by: 1, or 1000 in Gbit/s.
    Q_PROPERTY(int divider READ divider NOTIFY changed)
    /// The value axis's maximum, in the chart's unit.
    Q_PROPERTY(double axisMaximum READ axisMaximum NOTIFY changed)
    /// The bars, oldest first, in the chart's unit; idle ones a thin line.
    Q_PROPERTY(QVariantList bars READ bars NOTIFY changed)

public:
    static constexpr int kCount = 15;
    /// What an idle second counts as, so that its bar is a line, not nothing.
    static constexpr double kIdle = 0.01;

    explicit SpeedSamples(QObject* parent = nullptr);

    /// Takes one sample in Mbit/s (0 or no number counts as idle) and drops
    /// the oldest.
    Q_INVOKABLE void add(double mbps);

    /// The top of a value axis for a largest value @p x: the next step of 1,
    /// 2, 5, 10 times a power of ten strictly above it (1 gives 2, 45 gives 50).
    static double niceAxisMaximum(double x);

    QString roundedValue() const { return m_roundedValue; }
    QString maxValue() const { return m_maxValue; }
    bool gigabits() const { return m_divider != 1; }
    int divider() const { return m_divider; }
    double axisMaximum() const { return m_axisMaximum; }
    QVariantList bars() const { return m_bars; }

signals:
    void changed();

private:
    void recompute();

    std::array<double, kCount> m_samples;
    std::array<double, kCount> m_weights;
    QString m_roundedValue;
    QString m_maxValue;
    int m_divider = 1;
    double m_axisMaximum = 1;
    QVariantList m_bars;
};
