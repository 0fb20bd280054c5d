#include "GraphDataFile.h"
#include "NumberedFile.h"
#include "SampleRing.h"

#include "FileFaults.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace GraphDataFile;

namespace {

// Every saved field with a value of its own, at the edges of its width where that matters.
GraphSample EveryField() {
    GraphSample s{};
    std::strcpy(s.dat, "12/31/26");
    std::strcpy(s.tim, "23:59:58");
    s.hld = 1;
    s.rMd = 'D';
    s.sats = 255;
    s.latDeg = -30;
    s.latUMin = -34123456;
    s.lonDeg = -101;
    s.lonUMin = -59500000;
    s.sogTenthsMph = -57;
    s.cogTenthsDeg = 3599;
    s.offErrCM = -32768;
    s.angErrTenthsDeg = 32767;
    s.waTenthDeg = -450;
    s.solOut = 100;
    s.strMode = 4;
    s.p0 = 11, s.p1 = 12, s.p2 = 13, s.p3 = 14, s.p4 = 15, s.p5 = 16;
    s.sogMmPerSec = -1200;
    s.firstRsp = 1;
    s.spsZCtrl = 2;
    s.spsOffset = -2147483647 - 1;
    s.dTmMs = 1230;
    s.dTmActMs = -5;
    s.olDeadBand = 250, s.olTonLen = 3000, s.laDeadBand = 400, s.laTonLen = 2000000000, s.whBas = 2500,
    s.minTurnRad = -1;
    s.maxStrRat = 255;
    s.spsLSet = 1, s.spsCSet = 2, s.spsRSet = 3;
    s.solCType = 3, s.solDly = 20, s.solMinDr = 10, s.solMaxDr = 90, s.solPwm = 100;
    s.cogFSmpls = 4;
    s.srmLeft = -6, s.srmRight = 7;
    s.draftFilterActive = 1;
    s.spsDeltaAlphaHunds = 70000, s.vtgWheelAngleHunds = -70000, s.ModeFilterHunds = 123456,
    s.draftFilterHunds = -99999, s.Rev2WATenths = 2147483647;
    s.spsCur = 1200;
    return s;
}

DeviceIdentity Identity(const char *identity, const char *version, const char *serialNumber) {
    DeviceIdentity d{};
    std::strcpy(d.identity, identity);
    std::strcpy(d.version, version);
    std::strcpy(d.serialNumber, serialNumber);
    return d;
}

QByteArray Written(const SampleRing &ring, int end, int count, const DeviceIdentitySet &ids) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_TRUE(Write(out, ring, end, count, ids, "1.0.1.0"));
    return out.data();
}

std::vector<GraphSample> Read(const QByteArray &file, DeviceIdentitySet *identities = nullptr,
                              int *version = nullptr) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    std::string header;
    std::vector<GraphSample> rows;
    const int v = reader.ReadLine(header) ? HeaderVersion(header) : 0;
    if (version)
        *version = v;
    if (v == 0)
        return rows;
    DeviceIdentitySet ids{};
    ReadRows(reader, v, identities ? *identities : ids, [&](GraphSample &s) {
        rows.push_back(s);
        return true;
    });
    return rows;
}

std::vector<std::string> Lines(const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(GraphDataFile, WritesTheHeaderIdentitiesAndRows) {
    EXPECT_EQ(
        Header(4),
        "dat,tim,hld,rMd,sats,latDeg,latUMin,lonDeg,lonUMin,sogTenthsMph,cogTenthsDeg,offErrCM,"
        "angErrTenthsDeg,"
        "waTenthDeg,solOut,strMode,p0,p1,p2,p3,p4,p5,sogMmPerSec,1stRsp,spsZCtrl,spsOffset,dTmMs,olDeadBand,"
        "olTonLen,laDeadBand,laTonLen,whBas,minTurnRad,maxStrRat,spsLSet,spsCSet,spsRSet,solCType,solDly,"
        "solMinDr,solMaxDr,solPwm,cogFSmpls,spsCur,srmLeft,srmRight,dTmActMs,spsDeltaAlphaHunds,"
        "vtgWheelAngleHunds,draftFilterActive,ModeFilterHunds,draftFilterHunds,Rev2WATenths");
    SampleRing ring;
    GraphSample s = EveryField();
    ring.Put(GraphSample{});
    ring.Put(s);
    s.rMd = ' '; // a blank mode letter is saved as '?'
    ring.Put(s);
    const DeviceIdentitySet ids{Identity("Holvanek SC", "1.05", "SC42"), {}, Identity("", "", "SN9")};
    const std::string row =
        "12/31/26,23:59:58,1,D,255,-30,-34123456,-101,-59500000,-57,3599,-32768,32767,-450,100,4,"
        "11,12,13,14,15,16,-1200,1,2,-2147483648,1230,250,3000,400,2000000000,2500,-1,255,1,2,3,3,"
        "20,10,90,100,4,1200,-6,7,-5,70000,-70000,1,123456,-99999,2147483647";
    std::string questionRow = row;
    questionRow[20] = '?';
    EXPECT_EQ(Written(ring, 3, 2, ids).toStdString(),
              Header(4) + "\r\nDevice ID records,Holvanek SC,1.05,SC42,,,,,,SN9,Pelmora,1.0.1.0,\r\n" + row +
                  "\r\n" + questionRow + "\r\n");
}

TEST(GraphDataFile, EveryFieldReadsBackAsWritten) {
    SampleRing ring;
    const GraphSample original = EveryField();
    ring.Put(original);
    const DeviceIdentitySet ids{DeviceIdentity{}, Identity("LB Light Bar", "0.9", "LB0007"),
                                DeviceIdentity{}};
    DeviceIdentitySet readIds{};
    std::vector<GraphSample> rows = Read(Written(ring, 1, 1, ids), &readIds);
    ASSERT_EQ(rows.size(), 1u);
    GraphSample &back = rows[0];
    // The plot rows are recomputed when stored, never taken from the file.
    EXPECT_EQ(back.p0, 0);
    back.p0 = 11, back.p1 = 12, back.p2 = 13, back.p3 = 14, back.p4 = 15, back.p5 = 16;
    EXPECT_EQ(Row(back), Row(original));
    EXPECT_EQ(back.sogMmPerSec, -1200);
    EXPECT_EQ(back.spsDeltaAlphaHunds, 70000);
    EXPECT_STREQ(readIds[1].identity, "LB Light Bar");
    EXPECT_STREQ(readIds[1].serialNumber, "LB0007");
    EXPECT_STREQ(readIds[0].identity, "");
}

// A device may name itself in any bytes; the identity line stays one line of its fields.
TEST(GraphDataFile, IdentitiesInAnyBytesReadBackAsWritten) {
    SampleRing ring;
    ring.Put(GraphSample{});
    const DeviceIdentitySet ids{Identity("Holvanek\r\nSC", "25\xB0", "50%,1"),
                                Identity("\x01\x7F\xFF", "0.9", "%41"), Identity("DGPS", "2.10", "SN9")};
    DeviceIdentitySet back{};
    const std::vector<GraphSample> rows = Read(Written(ring, 1, 1, ids), &back);
    EXPECT_EQ(rows.size(), 1u);
    for (std::size_t d = 0; d < ids.size(); ++d) {
        EXPECT_STREQ(back[d].identity, ids[d].identity) << d;
        EXPECT_STREQ(back[d].version, ids[d].version) << d;
        EXPECT_STREQ(back[d].serialNumber, ids[d].serialNumber) << d;
    }
}

// Other readers of the file see a printable identity as it is: only a '%' that two hex digits
// follow is escaped.
TEST(GraphDataFile, IdentityPercentIsEscapedOnlyBeforeTwoHexDigits) {
    SampleRing ring;
    ring.Put(GraphSample{});
    const DeviceIdentitySet ids{Identity("LB 100%", "A%41B", "%4,%"), {}, {}};
    EXPECT_EQ(IdentityLine(ids, "1.0"), "Device ID records,LB 100%,A%2541B,%4%2C%,,,,,,,Pelmora,1.0,");
    DeviceIdentitySet back{};
    Read(Written(ring, 1, 1, ids), &back);
    EXPECT_STREQ(back[0].identity, "LB 100%");
    EXPECT_STREQ(back[0].version, "A%41B");
    EXPECT_STREQ(back[0].serialNumber, "%4,%");
}

TEST(GraphDataFile, OlderVersions) {
    int version = 0;
    const std::string v1Row =
        "01/02/03,04:05:06,0,A,7,30,100,-97,200,99,1,2,3,4,5,6,1,0,0,0,0,0,0,1000,1,2,15,9,"
        "20,3,4,5,6,7,8,9,10,11,12,1,13,14,15,16";
    auto rows = Read(QByteArray::fromStdString(Header(1) + "\r\n" + v1Row + "\r\n" +
                                               v1Row.substr(0, v1Row.find("1000,")) + "-1000\r\n"),
                     nullptr, &version);
    EXPECT_EQ(version, 1);
    ASSERT_EQ(rows.size(), 2u);
    const GraphSample &a = rows[0];
    EXPECT_STREQ(a.tim, "04:05:06");
    EXPECT_EQ(a.lonDeg, -97);
    EXPECT_EQ(a.sogTenthsMph, 1); // spsScaled 99 skipped
    EXPECT_EQ(a.solOut, 6);
    EXPECT_EQ(a.strMode, 1);
    EXPECT_EQ(a.sogMmPerSec, 5144); // 1000 hundredths of a knot
    EXPECT_EQ(a.spsOffset, 150);
    EXPECT_EQ(a.dTmMs, 200);
    EXPECT_EQ(a.olDeadBand, 30);
    EXPECT_EQ(a.olTonLen, 400);
    EXPECT_EQ(a.minTurnRad, 800);
    EXPECT_EQ(a.maxStrRat, 9);
    EXPECT_EQ(a.solPwm, 16);
    EXPECT_EQ(rows[1].sogMmPerSec, -5144); // a reversing speed stays negative
    EXPECT_EQ(rows[1].solPwm, 0);          // fields missing at the end read as empty
    EXPECT_EQ(rows[1].firstRsp, 1);        // an empty flag is true

    // Version 2 ends at dTmActMs; version 3 adds two values in tenths.
    const std::string full = Row(EveryField());
    const std::string v2Row = full.substr(0, full.find(",70000"));
    rows = Read(QByteArray::fromStdString(Header(2) + "\r\n" + v2Row + ",1,2\r\n"), nullptr, &version);
    EXPECT_EQ(version, 2);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].dTmActMs, -5);
    EXPECT_EQ(rows[0].spsDeltaAlphaHunds, 0);
    EXPECT_EQ(rows[0].sogMmPerSec, -1200);

    const std::string v3Header = Header(2) + "spsDeltaAlpha,vtgWheelAngle";
    EXPECT_NE(v3Header.find("dTmActMsspsDeltaAlpha"), std::string::npos);
    rows = Read(QByteArray::fromStdString(v3Header + "\r\n" + v2Row + ",12,-5\r\n"), nullptr, &version);
    EXPECT_EQ(version, 3);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].spsDeltaAlphaHunds, 120);
    EXPECT_EQ(rows[0].vtgWheelAngleHunds, -50);
    EXPECT_EQ(rows[0].ModeFilterHunds, 0);

    // The same header with the comma its writer forgot is no known format.
    EXPECT_EQ(HeaderVersion(Header(2) + ",spsDeltaAlpha,vtgWheelAngle"), 0);
    EXPECT_EQ(HeaderVersion(""), 0);
}

TEST(GraphDataFile, LinesAndFields) {
    const std::string longLine(700, 'x');
    // Control bytes before a line are skipped, a long line keeps 599 characters, and a last line
    // without its end does not count.
    EXPECT_EQ(Lines(QByteArray::fromStdString("\r\n\t\x01one\r\r\n\ntwo three\n" + longLine + "\nlast")),
              (std::vector<std::string>{"one", "two three", longLine.substr(0, 599)}));
    // Within a bound, a line that has not ended there is no line.
    QBuffer unended;
    unended.setData(QByteArray(kHeaderSearchBytes, 'x') + "\r\n");
    unended.open(QIODevice::ReadOnly);
    std::string line;
    EXPECT_FALSE(LineReader(unended).ReadLine(line, kHeaderSearchBytes));

    GraphSample s{};
    ParseRow(4, SplitFields("abcdefghijkl,t,0,Mx,+12abc,-7,,x"), s);
    EXPECT_STREQ(s.dat, "abcdefghi"); // nine characters and the terminator
    EXPECT_EQ(s.hld, 0);
    EXPECT_EQ(s.rMd, 'M');
    EXPECT_EQ(s.sats, 12);
    EXPECT_EQ(s.latDeg, -7);
    EXPECT_EQ(s.latUMin, 0);
    EXPECT_EQ(s.lonDeg, 0);
    EXPECT_EQ(s.firstRsp, 1);
}

TEST(GraphDataFile, AReadErrorIsNoEndOfTheRows) {
    QTemporaryDir dir;
    QFile file(dir.filePath("data.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(Header(4) + "\r\n"));
    for (int i = 0; i < 1000; ++i) // about 150 KiB, more than one read
        file.write(QByteArray::fromStdString(Row(EveryField()) + "\r\n"));
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    LineReader reader(file);
    std::string header;
    ASSERT_TRUE(reader.ReadLine(header));
    testsupport::FailReadsOfOpenFile(file.fileName().toStdString());
    DeviceIdentitySet ids{};
    int rows = 0;
    ReadRows(reader, 4, ids, [&](GraphSample &) { return ++rows > 0; });
    EXPECT_LT(rows, 1000);
    EXPECT_TRUE(reader.Failed());
}

TEST(GraphDataFile, NumberedNamesSkipExistingFiles) {
    QTemporaryDir dir;
    for (const char *taken : {"Pelmora007.txt", "Pelmora008.txt"}) {
        QFile f(dir.filePath(taken));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    int index = 7;
    const auto write = [](QIODevice &out) { return out.write("data") == 4; };
    NumberedFileResult result = WriteNumberedFile(dir.path(), "Pelmora%03d.txt", index, write);
    EXPECT_EQ(result.outcome, NumberedFileResult::Outcome::Written);
    EXPECT_EQ(result.path, dir.filePath("Pelmora009.txt"));
    EXPECT_EQ(index, 10);

    // A refused write leaves no file behind, not even a part of one.
    result = WriteNumberedFile(dir.path(), "Pelmora%03d.txt", index, [](QIODevice &out) {
        out.write("part");
        return false;
    });
    EXPECT_EQ(result.outcome, NumberedFileResult::Outcome::WriteFailed);
    EXPECT_FALSE(QFile::exists(dir.filePath("Pelmora010.txt")));

    // With 900 names taken, nothing is written.
    for (int i = 100; i < 1000; ++i) {
        QFile f(dir.filePath(QString::asprintf("Pelmora%03d.txt", i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    index = 100;
    result = WriteNumberedFile(dir.path(), "Pelmora%03d.txt", index, write);
    EXPECT_EQ(result.outcome, NumberedFileResult::Outcome::NoFreeName);
    EXPECT_EQ(index, 1000);
}
