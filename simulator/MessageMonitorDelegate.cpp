#include "MessageMonitorDelegate.h"

#include "MessageMonitor.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr std::uint32_t kTimeBackground = 0xDAFEF4;
constexpr std::uint32_t kTickBackground = 0xFFF9F1;
constexpr std::uint32_t kGapAfterColor = 0x0000FF;
constexpr std::uint32_t kGapBeforeColor = 0x008000;

// Text drawn over its own background, as wide as the text; returns where the next piece starts.
int DrawPiece(QPainter &painter, const QFont &font, const QRect &rect, int x, const QString &text,
              std::uint32_t background) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    painter.setFont(font);
    painter.fillRect(QRect(x, rect.top(), width, rect.height()), ColorOfStored(background));
    painter.drawText(QRect(x, rect.top(), width, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    return x + width;
}

} // namespace

MessageMonitorDelegate::MessageMonitorDelegate(const MessageMonitor &m, QObject *parent)
    : QStyledItemDelegate(parent), monitor(m), regular(MonitorFont()), italic(MonitorFont()),
      bold(MonitorFont()) {
    italic.setItalic(true);
    bold.setBold(true);
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
    painter.setPen(ColorOfStored(LookOf(attr.category).color));
    painter.fillRect(rect, ColorOfStored(kMonitorBackground));

    // The columns follow the flags stored with the line, not today's options.
    int x = rect.left();
    qsizetype at = 0;
    if (attr.timeShown) {
        DrawPiece(painter, italic, rect, x, text.mid(at, 9), kTimeBackground);
        x += QFontMetrics(italic).horizontalAdvance("hh:mm:ss ");
        at += 9;
    }
    if (attr.tickShown) {
        DrawPiece(painter, bold, rect, x, text.mid(at, 6), kTickBackground);
        x += QFontMetrics(bold).horizontalAdvance("12345 ");
        at += 6;
    }
    DrawPiece(painter, regular, rect, x, text.mid(at), kMonitorBackground);

    if (attr.gapAfter) {
        painter.setPen(ColorOfStored(kGapAfterColor));
        painter.drawLine(rect.left() + 4, rect.bottom(), rect.right() - 3, rect.bottom());
    }
    if (attr.gapBefore) {
        painter.setPen(ColorOfStored(kGapBeforeColor));
        painter.drawLine(rect.left() + 4, rect.top() + 1, rect.right() - 3, rect.top() + 1);
    }
}
