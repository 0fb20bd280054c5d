// Graph data files of any content, read as Load Data reads them: the header names the version,
// identity lines fill the shown identities, and at most 4000 rows reach the ring with their plot
// rows computed; every stored row must then write back as one row of the newest format.
#include "GraphDataFile.h"
#include "GraphPlot.h"
#include "SampleRing.h"

#include <QBuffer>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    using GraphDataFile::Header;
    const std::string row =
        "12/31/26,23:59:58,1,D,255,-30,-34123456,-101,-59500000,-57,3599,-32768,32767,-450,"
        "100,4,11,12,13,14,15,16,-1200,1,2,-2147483648,1230,250,3000,400,2000000000,2500,"
        "-1,255,1,2,3,3,20,10,90,100,4,1200,-6,7,-5,70000,-70000,1,123456,-99999,2147483647";
    return {
        Header(4) + "\r\nDevice ID records,Holvanek SC,1.05,SC42,,,,,,SN9,Pelmora,1.0,\r\n" + row + "\r\n",
        Header(1) + "\r\n01/02/03,04:05:06,0,A,7,30,100,-97,200,99,1,2,3,4,5,6,1,0,0,0,0,0,0,-1000,1,2,15,9,"
                    "20,3,4,5,6,7,8,9,10,11,12,1,13,14,15,16\r\n",
        Header(3) + "\r\n" + row.substr(0, row.find(",70000")) + ",12,-5\r\n\x01\xff" +
            std::string(700, '9') + "\r\n",
        Header(2) + "\r\nDevice ID records," + std::string(60, '\xb0') + "\r\n,,,,\r\n-,+,--9\r\nlast",
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QBuffer file;
    file.setData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    file.open(QIODevice::ReadOnly);
    GraphDataFile::LineReader reader(file);
    std::string header;
    const int version = reader.ReadLine(header) ? GraphDataFile::HeaderVersion(header) : 0;
    if (version == 0)
        return 0;
    static const TraceTable traces = InitialTraces();
    static const GraphLayout layout = ComputeLayout(786, 448);
    SampleRing ring;
    DeviceIdentitySet identities{};
    GraphDataFile::ReadRows(reader, version, identities, [&](GraphSample &sample) {
        ComputePlotFields(sample, traces, layout);
        ring.Put(sample);
        return ring.Count() < SampleRing::kSize;
    });
    for (const DeviceIdentity &id : identities)
        if (id.identity[sizeof id.identity - 1] != 0 || id.version[sizeof id.version - 1] != 0 ||
            id.serialNumber[sizeof id.serialNumber - 1] != 0)
            std::abort();
    for (int i = 0; i < ring.Count(); ++i) {
        const GraphSample &sample = ring.At(i);
        if (sample.p0 < layout.top || sample.p0 > layout.bottom ||
            GraphDataFile::SplitFields(GraphDataFile::Row(sample)).size() != 53)
            std::abort();
    }
    return 0;
}
