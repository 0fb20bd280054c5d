#include "TfShowMessageMonColors.h"

#include "MessageCategory.h"
#include "MessageMonitorDelegate.h"

#include "Colors.h"

#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace {

constexpr int kCategoryRole = Qt::UserRole + 1;
constexpr int kTextLeft = 20;

// The legend's order: the outgoing kinds and the device's, then non-NMEA lines before the rest.
constexpr MessageCategory kLegendOrder[] = {
    MessageCategory::Outgoing, MessageCategory::OutgoingPanel, MessageCategory::Rfp,
    MessageCategory::Dgps,     MessageCategory::LightBar,      MessageCategory::Holvanek,
    MessageCategory::NonNmea,  MessageCategory::OtherSentence,
};

class LegendDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const auto category = static_cast<MessageCategory>(index.data(kCategoryRole).toInt());
        painter->save();
        painter->fillRect(option.rect, platform::FromTColor(kMonitorBackground));
        painter->setFont(MessageMonitorDelegate::MonitorFont());
        painter->setPen(platform::FromTColor(LookOf(category).color));
        painter->drawText(option.rect.adjusted(kTextLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
};

} // namespace

TfShowMessageMonColors::TfShowMessageMonColors(QWidget *parent) : QDialog(parent, Qt::Dialog) {
    setObjectName("fShowMessageMonColors");
    setWindowTitle("Message Monitor Colors");
    setFixedSize(220, 200);

    lbMsgMonColors = new QListWidget(this);
    lbMsgMonColors->setObjectName("lbMsgMonColors");
    lbMsgMonColors->setGeometry(10, 10, 200, 140);
    lbMsgMonColors->setSelectionMode(QAbstractItemView::NoSelection);
    lbMsgMonColors->setFocusPolicy(Qt::NoFocus);
    lbMsgMonColors->setItemDelegate(new LegendDelegate(lbMsgMonColors));
    QPalette palette = lbMsgMonColors->palette();
    palette.setColor(QPalette::Base, platform::FromTColor(kMonitorBackground));
    lbMsgMonColors->setPalette(palette);
    for (const MessageCategory category : kLegendOrder) {
        auto *item = new QListWidgetItem(LookOf(category).legend, lbMsgMonColors);
        item->setData(kCategoryRole, static_cast<int>(category));
    }

    bOK = new QPushButton("OK", this);
    bOK->setObjectName("bOK");
    bOK->setGeometry(75, 160, 70, 26);
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
}
