#include "MessageMonitor.h"

#include "Clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c <= 0x7E;
}

} // namespace

MessageMonitor::MessageMonitor(QObject *parent) : QAbstractListModel(parent) {
    lines.reserve(kMaxLines);
}

bool MessageMonitor::Shows(MessageCategory category) const {
    switch (category) {
    case MessageCategory::Outgoing:
        return options.outGoingMessages;
    case MessageCategory::OutgoingPanel:
        return options.outGoingMessages && options.rfpMessages;
    case MessageCategory::Rfp:
        return options.rfpMessages;
    case MessageCategory::Dgps:
        return options.dgpsMessages;
    case MessageCategory::LightBar:
        return options.lbMessages;
    case MessageCategory::Holvanek:
        return options.holvanekMessages;
    case MessageCategory::OtherSentence:
        return options.otherMessages;
    case MessageCategory::NonNmea:
        return options.nonNmeaMessages;
    case MessageCategory::Unclassified:
        break;
    }
    return false;
}

bool MessageMonitor::AddMonitorLine(const char *text, std::uint32_t tick) {
    return AddMonitorLineAs(text, classifier.ClassifyMessage(text), tick);
}

bool MessageMonitor::AddMonitorLineAs(const char *text, MessageCategory category, std::uint32_t tick) {
    if (text == nullptr)
        return false;
    if (category == MessageCategory::Outgoing && classifier.IsPanelLine(text))
        category = MessageCategory::OutgoingPanel;
    if (!Shows(category))
        return false;
    if (paused) {
        if (!lines.empty()) {
            lineAttr[lines.size() - 1].gapAfter = true;
            const QModelIndex last = index(LineCount() - 1);
            emit dataChanged(last, last);
        }
        gapPending = true;
        return false;
    }

    std::array<char, kLineBufferSize> shown{};
    const std::size_t length = FormatMonitorLine(shown.data(), text, shown.size(), tick);

    if (lines.size() >= kMaxLines) {
        beginRemoveRows(QModelIndex(), 0, 0);
        lines.erase(lines.begin());
        std::move(lineAttr.begin() + 1, lineAttr.end(), lineAttr.begin());
        lineAttr.back() = MonitorLineAttr{};
        endRemoveRows();
    }
    const int row = LineCount();
    beginInsertRows(QModelIndex(), row, row);
    lineAttr[static_cast<std::size_t>(row)] = {category, options.time, options.tickCount, gapPending, false};
    gapPending = false;
    lines.emplace_back(shown.data(), length);
    endInsertRows();
    return true;
}

std::size_t MessageMonitor::FormatMonitorLine(char *buffer, const char *text, std::size_t size,
                                              std::uint32_t tick) const {
    if (buffer == nullptr || size == 0)
        return 0;
    char timePart[16] = "";
    if (options.time) {
        const std::time_t now = static_cast<std::time_t>(platform::Now());
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(timePart, sizeof timePart, "%H:%M:%S ", &local);
    }
    char tickPart[16] = "";
    if (options.tickCount)
        std::snprintf(tickPart, sizeof tickPart, "%05lu ", static_cast<unsigned long>(tick % 100000u));
    const char *shown = text == nullptr ? "" : text;
    if (size < 40 || std::strlen(shown) > size - 40)
        shown = kTooLongText;

    const int written = std::snprintf(buffer, size, "%s%s%s\r\n", timePart, tickPart, shown);
    std::size_t length = written < 0 ? 0 : std::min(static_cast<std::size_t>(written), size - 1);
    // The line end goes, and with it whatever unprintable byte ended the text.
    for (int i = 0; i < 2 && length > 0 && !IsPrintable(static_cast<unsigned char>(buffer[length - 1])); ++i)
        buffer[--length] = '\0';
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(buffer[i]);
        if (!IsPrintable(c) && c != 0xB0)
            buffer[i] = '~';
    }
    return length;
}

void MessageMonitor::ClearMonitor() {
    beginResetModel();
    lines.clear();
    lineAttr.fill(MonitorLineAttr{});
    endResetModel();
}

int MessageMonitor::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : LineCount();
}

QVariant MessageMonitor::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= LineCount() || role != Qt::DisplayRole)
        return {};
    return QString::fromLatin1(LineText(index.row()));
}
