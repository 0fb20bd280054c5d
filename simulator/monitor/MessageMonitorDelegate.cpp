#include "MessageMonitorDelegate.h"

#include "MessageMonitor.h"

#include "Colors.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr std::uint32_t kTimeBackground = 0xDAFEF4;
constexpr std::uint32_t kTickBackground = 0xFFF9F1;
constexpr std::uint32_t kGapAfterColor = 0x0000FF;
constexpr std::uint32_t kGapBeforeColor = 0x008000;

} // namespace

MessageMonitorDelegate::MessageMonitorDelegate(const MessageMonitor &m, QObject *parent)
    : QStyledItemDelegate(parent), monitor(m), regular(MonitorFont()), italic(MonitorFont()),
      bold(MonitorFont()) {
    italic.setItalic(true);
    bold.setBold(true);
    timeAdvance = QFontMetrics(italic).horizontalAdvance("hh:mm:ss ");
    tickAdvance = QFontMetrics(bold).horizontalAdvance("12345 ");
    const QFontMetrics metrics(regular);
    ascent = metrics.ascent();
    descent = metrics.descent();
}

QFont MessageMonitorDelegate::MonitorFont() {
    QFont font("Courier New");
    font.setPixelSize(12);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QSize MessageMonitorDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const {
    return {option.rect.width(), kItemHeight};
}

void MessageMonitorDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const {
    if (painter == nullptr || !index.isValid() || index.row() >= monitor.LineCount())
        return;
    painter->save();
    lbDrawItemWithColor(*painter, index.row(), option.rect);
    painter->restore();
}

void MessageMonitorDelegate::lbDrawItemWithColor(QPainter &painter, int line, const QRect &rect) const {
    const MonitorLineAttr &attr = monitor.LineAttr(line);
    const QString text = QString::fromLatin1(monitor.LineText(line));
    painter.fillRect(rect, platform::FromTColor(kMonitorBackground));
    painter.setPen(platform::FromTColor(LookOf(attr.category).color));
    const int baseline = rect.top() + (rect.height() + ascent - descent) / 2;

    // The columns follow the flags stored with the line, not today's options; each is drawn on
    // its own background, as wide as its pattern.
    int x = rect.left();
    qsizetype at = 0;
    auto column = [&](const QFont &font, int advance, std::uint32_t background, qsizetype count) {
        painter.fillRect(QRect(x, rect.top(), advance, rect.height()), platform::FromTColor(background));
        painter.setFont(font);
        painter.drawText(QPoint(x, baseline), text.mid(at, count));
        x += advance;
        at += count;
    };
    if (attr.timeShown)
        column(italic, timeAdvance, kTimeBackground, 9);
    if (attr.tickShown)
        column(bold, tickAdvance, kTickBackground, 6);
    painter.setFont(regular);
    painter.drawText(QPoint(x, baseline), text.mid(at));

    if (attr.gapAfter) {
        painter.setPen(platform::FromTColor(kGapAfterColor));
        painter.drawLine(rect.left() + 4, rect.bottom(), rect.right() - 3, rect.bottom());
    }
    if (attr.gapBefore) {
        painter.setPen(platform::FromTColor(kGapBeforeColor));
        painter.drawLine(rect.left() + 4, rect.top() + 1, rect.right() - 3, rect.top() + 1);
    }
}
