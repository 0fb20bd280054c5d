#pragma once
#include "MessageCategory.h"
#include "MessageClassifier.h"

#include <QAbstractListModel>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How one line of the monitor is drawn; kept with the line, so a later change of the column
// options leaves the lines already shown as they were.
struct MonitorLineAttr {
    MessageCategory category = MessageCategory::OtherSentence;
    bool timeShown = false;
    bool tickShown = false;
    bool gapBefore = false;
    bool gapAfter = false;
};

// The monitor's columns and filters, copied from their menu items.
struct MonitorOptions {
    bool time = true;
    bool tickCount = true;
    bool outGoingMessages = true;
    bool rfpMessages = true;
    bool dgpsMessages = true;
    bool lbMessages = true;
    bool holvanekMessages = true;
    bool nonNmeaMessages = true;
    bool otherMessages = true;
};

// The message monitor's contents: every line received or sent is classified, filtered, formatted
// with its time and tick columns and appended to a list that keeps the newest 200. While paused,
// lines are dropped and the gap is marked on the lines either side of it. The list view draws it
// through this model.
class MessageMonitor : public QAbstractListModel {
public:
    static constexpr int kMaxLines = 200;
    static constexpr std::size_t kLineBufferSize = 600;
    static constexpr const char *kTooLongText = "----- Error - Message is too long ----";

    explicit MessageMonitor(QObject *parent = nullptr);

    MonitorOptions &Options() { return options; }
    const MonitorOptions &Options() const { return options; }
    void SetPaused(bool on) { paused = on; }
    bool IsPaused() const { return paused; }

    MessageCategory Classify(const char *text) { return classifier.ClassifyMessage(text); }
    // A received line, classified by its text. tick is the last activity tick for the tick column.
    bool AddMonitorLine(const char *text, std::uint32_t tick);
    // Returns whether the line was appended (not filtered out, not dropped while paused).
    bool AddMonitorLineAs(const char *text, MessageCategory category, std::uint32_t tick);
    // The shown text of a line in buffer (at most size - 1 characters); returns its length.
    std::size_t FormatMonitorLine(char *buffer, const char *text, std::size_t size, std::uint32_t tick) const;
    void ClearMonitor();

    int LineCount() const { return static_cast<int>(lines.size()); }
    const std::string &LineText(int index) const { return lines[static_cast<std::size_t>(index)]; }
    const MonitorLineAttr &LineAttr(int index) const { return lineAttr[static_cast<std::size_t>(index)]; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    bool Shows(MessageCategory category) const;

    MessageClassifier classifier;
    MonitorOptions options;
    bool paused = false;
    // The first line shown after start-up or a pause carries the mark at its top.
    bool gapPending = true;
    std::vector<std::string> lines;
    std::array<MonitorLineAttr, kMaxLines> lineAttr{};
};
