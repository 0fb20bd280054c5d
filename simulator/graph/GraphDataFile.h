#pragma once
#include "DeviceIdentity.h"
#include "GraphSample.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;
class SampleRing;

// The graph's comma-separated data files: one header line, one line of device identities and
// one row a sample, CR LF ended. Four generations of the format are read; the newest (4) is the
// one written.
namespace GraphDataFile {

constexpr const char *kIdentityRecord = "Device ID records";

// The exact header line of a version (1 to 4), and the version a header line names (0: none).
const std::string &Header(int version);
int HeaderVersion(std::string_view line);

std::string IdentityLine(const DeviceIdentitySet &identities, std::string_view programVersion);
// One version-4 row without its line end.
std::string Row(const GraphSample &sample);
// The header, the identities and the `count` samples that end just before slot `end`, oldest
// first. False when the device refused a write.
bool Write(QIODevice &out, const SampleRing &ring, int end, int count, const DeviceIdentitySet &identities,
           std::string_view programVersion);

// The most Load Data reads of a file: 4000 rows of the longest line kept take under 2.5 MB, so
// no data file comes near it; a larger file is refused before it is read.
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;
// The header is the first line and a few hundred characters long: a file whose first line has
// not ended within this many bytes is no data file, however long it goes on.
constexpr std::size_t kHeaderSearchBytes = 4096;

// Lines as the reader sees them: non-printable bytes before a line are skipped, the printable
// run that follows is the line (599 characters kept, the rest dropped), and a line the file
// ends in without a line end does not count. A read error ends the lines too, and Failed() says
// it was no end of the file.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 599;
    explicit LineReader(QIODevice &in) : device(in) {}
    // With `maxBytes`, no line is read when none has ended within that many bytes.
    bool ReadLine(std::string &line, std::size_t maxBytes = SIZE_MAX);
    bool Failed() const { return failed; }

private:
    int Next();
    QIODevice &device;
    QByteArray buffer;
    qsizetype position = 0;
    bool failed = false;
};

std::vector<std::string_view> SplitFields(std::string_view line);
// A version's row into the record: each column at its field's own width and sign. Fields a
// version has no column for keep their values. False when a number does not fit its field (the
// file is not one of ours); the other fields are read all the same.
bool ParseRow(int version, const std::vector<std::string_view> &fields, GraphSample &sample);

// How the rows of a file ended: all of them read; `store` full with rows still to come; or at a
// row with a number too big for its field, which makes the file no data file.
enum class RowsRead { All, RowsLeftOut, NumberOutOfRange };

// The rows after the header line: identity records fill `identities` (versions 2 to 4), every
// other line is parsed into one record kept across rows (so a field a version lacks stays 0)
// and handed to `store`, until `store` says the ring is full, a row does not parse or the file
// ends.
RowsRead ReadRows(LineReader &reader, int version, DeviceIdentitySet &identities,
                  const std::function<bool(GraphSample &)> &store);

} // namespace GraphDataFile
