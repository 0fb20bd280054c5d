// Bytes of any kind from the device: through the sentence parser alone, where every field and
// text must stay inside the parser's buffers, then through the main window as its poll hands
// them over, so every sentence reaches the display, the identities and the graph sample.
#include "FuzzApplication.h"
#include "SentenceParser.h"
#include "TfGraphicDisplay.h"
#include "TfPelmora.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        "$PQVZS,TXT,0,Hello world*4F\r\n$PQVZS,CLR*5B\r\n$PQVZC,128,1\r\n",
        "$PQVZD,100,141,1FF,0C8\r\n$PQVZS,TXX,16,%DF%41%7\r\n$PQVZS,CON,+\r\n$PQVZS,BKL,OFF\r\n",
        "$PQVZR,RID,Brisken DGPS,v2.10,x,y,SN12345\r\n$PQVZR,DID,Holvanek,v1.3,a,b,SN9\r\n"
        "$PQVZR,DID,LB1,v2,SN3\r\n$PQVZQ,DID\r\n",
        "$PQVZR,HNX,SET1,1,2,3,4,5,6,7,8,9\r\n$PQVZR,HNX,SET2,1,2\r\n$PQVZR,HNX,1,2,3,4,5,6,7,8,9,10,11,"
        "12\r\n",
        "plain text line\r\n[Ok]\r\n\x01\x02\xff\xb0\r\n$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9*47\r\n",
        std::string(700, ',') + "\r\n$" + std::string(700, 'A') + "\r\n",
    };
}

namespace {

void CheckParser(const std::uint8_t *data, std::size_t size) {
    SentenceParser parser;
    char small[8];
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t state = parser.FeedByte(data[i]);
        if (state == SentenceParser::SentenceComplete) {
            const int count = parser.GetFieldCount();
            // Separators past the buffer's limit are still counted, so the count has no bound of
            // the buffer's; fields that were not stored read as empty.
            if (count < 0)
                std::abort();
            std::size_t total = 0;
            for (int n = 0; n <= count; ++n) {
                const std::string_view field = parser.FieldView(n);
                total += field.size();
                // A field cut at the buffer's limit has no NUL of its own: its C text runs on
                // to the end mark, but never past the buffer.
                if (field.size() > SentenceParser::kFieldTextLimit ||
                    (n < count && (std::strncmp(parser.GetField(n), field.data(), field.size()) != 0 ||
                                   std::strlen(parser.GetField(n)) >= SentenceParser::kBufferSize)) ||
                    parser.CopyField(small, sizeof small, n) != field.size() ||
                    std::strlen(small) >= sizeof small)
                    std::abort();
                parser.GetFieldInt16(n);
                parser.GetFieldInt32(n);
            }
            if (total > SentenceParser::kFieldTextLimit ||
                parser.GetText().size() > SentenceParser::kBufferSize)
                std::abort();
        } else if (state == SentenceParser::RawLineComplete) {
            if (parser.GetText().size() > SentenceParser::kRawLimit)
                std::abort();
        }
    }
}

struct Window {
    QTemporaryDir dir;
    TfPelmora *pelmora = nullptr;

    Window() {
        QDir::setCurrent(dir.path()); // the start directory, where the window keeps its ini file
        EnsureApplication();
        pelmora = new TfPelmora; // lives as long as the process, like the application object
        PelmoraWindows windows;
        windows.graphicDisplay = new TfGraphicDisplay;
        pelmora->AttachWindows(windows);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Window *window = new Window; // lives as long as the process
    CheckParser(data, size);
    // In the pieces a read returns: a line may end in the next piece.
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[at] % 97);
        window->pelmora->ReceiveBytes(data + at, static_cast<std::int32_t>(piece));
        at += piece;
    }
    return 0;
}
