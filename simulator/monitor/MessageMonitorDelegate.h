#pragma once
#include <QFont>
#include <QStyledItemDelegate>
#include <cstdint>

class MessageMonitor;

inline constexpr std::uint32_t kMonitorBackground = 0xF3FBFD;

// Draws the monitor's lines: each in its category's colour, its time column in italics and its
// tick column in bold on backgrounds of their own, with the marks of a gap left by a pause.
class MessageMonitorDelegate : public QStyledItemDelegate {
public:
    static constexpr int kItemHeight = 14;

    MessageMonitorDelegate(const MessageMonitor &monitor, QObject *parent);

    // The monitor's font: fixed pitch, 12 pixels.
    static QFont MonitorFont();

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void lbDrawItemWithColor(QPainter &painter, int line, const QRect &rect) const;

    const MessageMonitor &monitor;
    QFont regular;
    QFont italic;
    QFont bold;
    // Measured once: the monitor redraws its visible lines for every line that arrives.
    int timeAdvance = 0;
    int tickAdvance = 0;
    int ascent = 0;
    int descent = 0;
};
