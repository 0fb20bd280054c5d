// The main window's side of the message monitor: the list view with its model and delegate, the
// Message Monitor Options and the colour legend.
#include "TfPelmora.h"

#include "MessageMonitor.h"
#include "MessageMonitorDelegate.h"
#include "TfShowMessageMonColors.h"

#include "Colors.h"
#include "Dialogs.h"
#include "ScreenPlacement.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <string_view>

namespace {

constexpr int kBigExtraHeight = 120;
// However fast lines come, the list is redrawn at most this often: a screen shows no more, and
// a fast line would otherwise redraw it on every poll.
constexpr int kMonitorRefreshMs = 40;

} // namespace

void TfPelmora::CreateMonitorParts() {
    messageMonitor = new MessageMonitor(lbMessageMonitor);
    lbMessageMonitor->setModel(messageMonitor);
    lbMessageMonitor->setItemDelegate(new MessageMonitorDelegate(*messageMonitor, lbMessageMonitor));
    lbMessageMonitor->setUniformItemSizes(true);
    lbMessageMonitor->setFont(MessageMonitorDelegate::MonitorFont());
    lbMessageMonitor->setSelectionMode(QAbstractItemView::NoSelection);
    lbMessageMonitor->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A line wider than the list is cut at its edge: a sideways scroll bar would cover the newest
    // line, which the list keeps in view.
    lbMessageMonitor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = lbMessageMonitor->palette();
    palette.setColor(QPalette::Base, platform::FromTColor(kMonitorBackground));
    lbMessageMonitor->setPalette(palette);
    lbMessageMonitor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lbMessageMonitor, &QWidget::customContextMenuRequested, this, &TfPelmora::lbMessageMonitorPopup);
    monitorRefresh = new QTimer(this);
    monitorRefresh->setSingleShot(true);
    monitorRefresh->setInterval(kMonitorRefreshMs);
    connect(monitorRefresh, &QTimer::timeout, this, [this] {
        // The newest lines in view, the last one whole, however many rows the list has room for.
        if (messageMonitor->LineCount() > 0)
            lbMessageMonitor->scrollTo(messageMonitor->index(messageMonitor->LineCount() - 1),
                                       QAbstractItemView::PositionAtBottom);
        lbMessageMonitor->viewport()->setUpdatesEnabled(true);
    });

    monitorGeometry.panel = pMessageMonitorPanel->size();
    monitorGeometry.listSpaceBelow =
        pMessageMonitorPanel->height() - lbMessageMonitor->geometry().bottom() - 1;
    monitorGeometry.sendLineFromBottom = pMessageMonitorPanel->height() - cbSendData->y();
    monitorGeometry.windowHeight = height();

    // A click has toggled the item by the time these run; they apply its check.
    for (const OptionItem &item : monitorOptions) {
        const std::string_view key = item.key;
        if (key == "HideMessageMonitor")
            connect(item.action, &QAction::triggered, this, [this] {
                const int auxLeft = pAuxPanel->x();
                ArrangeMonitor();
                pAuxPanel->move(auxLeft, pAuxPanel->y());
            });
        else if (key == "MessageMonitorBig")
            connect(item.action, &QAction::triggered, this, &TfPelmora::ArrangeMonitor);
        else if (key != "MessageMonitorUpperCase") // the send line reads that one as it goes
            connect(item.action, &QAction::triggered, this, &TfPelmora::mMsgMonOptionClick);
    }
}

QAction *TfPelmora::OptionAction(const std::vector<OptionItem> &items, const char *key) {
    for (const OptionItem &item : items)
        if (std::string_view(key) == item.key)
            return item.action;
    return nullptr;
}

bool TfPelmora::IsOptionChecked(const std::vector<OptionItem> &items, const char *key) {
    const QAction *action = OptionAction(items, key);
    return action != nullptr && action->isChecked();
}

void TfPelmora::CopyMonitorOptions() {
    auto checked = [this](const char *key) { return IsOptionChecked(monitorOptions, key); };
    MonitorOptions &options = messageMonitor->Options();
    options.time = checked("MsgMonTime");
    options.tickCount = checked("MsgMonTickCount");
    options.outGoingMessages = checked("MsgMonOutGoingMessages");
    options.rfpMessages = checked("MsgMonRfpMessages");
    options.dgpsMessages = checked("MsgMonDgpsMessages");
    options.lbMessages = checked("MsgMonLbMessages");
    options.holvanekMessages = checked("MsgMonHolvanekMessages");
    options.nonNmeaMessages = checked("MsgMonNonNmeaMessages");
    options.otherMessages = checked("MsgMonOtherMessages");
}

void TfPelmora::AddMonitorLine(const char *text) {
    AddMonitorLineAs(text, ClassifyMessage(text));
}

void TfPelmora::AddMonitorLineAs(const char *text, int category) {
    const auto kind = category >= 0 && category <= static_cast<int>(MessageCategory::Unclassified)
                          ? static_cast<MessageCategory>(category)
                          : MessageCategory::Unclassified;
    if (messageMonitor->AddMonitorLineAs(text, kind, lineTick) && !monitorRefresh->isActive()) {
        lbMessageMonitor->viewport()->setUpdatesEnabled(false);
        monitorRefresh->start();
    }
}

int TfPelmora::ClassifyMessage(const char *text) {
    return static_cast<int>(messageMonitor->Classify(text));
}

std::size_t TfPelmora::FormatMonitorLine(char *buffer, const char *text, std::size_t size) {
    return messageMonitor->FormatMonitorLine(buffer, text, size, lineTick);
}

bool TfPelmora::IsMonitorPaused() const {
    return messageMonitor->IsPaused();
}

void TfPelmora::ClearMonitor() {
    messageMonitor->ClearMonitor();
}

void TfPelmora::ArrangeMonitor() {
    if (monitorOptions[0].action->isChecked()) {
        pMessageMonitorPanel->hide();
        return;
    }
    const bool big = monitorOptions[1].action->isChecked();
    const int extra = big ? kBigExtraHeight : 0;
    const QSize panel(monitorGeometry.panel.width(), monitorGeometry.panel.height() + extra);
    pMessageMonitorPanel->resize(panel);
    lbMessageMonitor->resize(panel.width() - 2 * lbMessageMonitor->x(),
                             panel.height() - lbMessageMonitor->y() - monitorGeometry.listSpaceBelow);
    const int sendLineTop = panel.height() - monitorGeometry.sendLineFromBottom;
    for (QWidget *control :
         std::initializer_list<QWidget *>{cbSendData, bSendData, bPause, bClear, bSendFile, bAddCkSum})
        if (control->parentWidget() == pMessageMonitorPanel)
            control->move(control->x(), sendLineTop);
    // The window grows with the monitor, so the send line stays in it.
    setFixedHeight(monitorGeometry.windowHeight + extra);
    pMessageMonitorPanel->show();
}

void TfPelmora::mMsgMonOptionClick() {
    CopyMonitorOptions();
}

// Each item's handler clicks it: the check toggles and the option follows it.
void TfPelmora::mMsgMonHideClick() {
    OptionAction(monitorOptions, "HideMessageMonitor")->trigger();
}
void TfPelmora::mClickBig() {
    OptionAction(monitorOptions, "MessageMonitorBig")->trigger();
}
void TfPelmora::mMsgMonUpperCaseClick() {
    OptionAction(monitorOptions, "MessageMonitorUpperCase")->trigger();
}
void TfPelmora::mMsgMonTimeClick() {
    OptionAction(monitorOptions, "MsgMonTime")->trigger();
}
void TfPelmora::mMsgMonTickCountClick() {
    OptionAction(monitorOptions, "MsgMonTickCount")->trigger();
}
void TfPelmora::mMsgMonOutGoingMessagesClick() {
    OptionAction(monitorOptions, "MsgMonOutGoingMessages")->trigger();
}
void TfPelmora::mMsgMonRfpMessagesClick() {
    OptionAction(monitorOptions, "MsgMonRfpMessages")->trigger();
}
void TfPelmora::mMsgMonDgpsMessagesClick() {
    OptionAction(monitorOptions, "MsgMonDgpsMessages")->trigger();
}
void TfPelmora::mMsgMonLbMessagesClick() {
    OptionAction(monitorOptions, "MsgMonLbMessages")->trigger();
}
void TfPelmora::mMsgMonHolvanekMessagesClick() {
    OptionAction(monitorOptions, "MsgMonHolvanekMessages")->trigger();
}
void TfPelmora::mMsgMonNonNmeaMessagesClick() {
    OptionAction(monitorOptions, "MsgMonNonNmeaMessages")->trigger();
}
void TfPelmora::mMsgMonOtherMessagesClick() {
    OptionAction(monitorOptions, "MsgMonOtherMessages")->trigger();
}

void TfPelmora::lbMessageMonitorPopup() {
    TfShowMessageMonColors *legend = windows.showMessageMonColors;
    if (legend == nullptr)
        return;
    platform::PlaceWindow(*legend, msgMonColorsPos);
    const bool keys = keysToPanel;
    keysToPanel = false;
    platform::ShowModalDialog(*legend);
    keysToPanel = keys;
    msgMonColorsPos = legend->pos();
}
