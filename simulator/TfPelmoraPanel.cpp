// The main window's emulated front panel: the two-line display as the device drives it, its
// contrast and backlight, and the panel keys from the mouse and the keyboard.
#include "TfPelmora.h"

#include "SerialPort.h"
#include "TickTimer.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>

namespace {

constexpr int kCellWidth = 20;
constexpr int kCellHeight = 40;
constexpr int kRow1Top = 66;
constexpr int kRow2Top = 108;

// Key bits per RFP type for Left, Up, Right and Down.
struct ArrowBits {
    unsigned left, up, right, down;
};
constexpr ArrowBits kHolvanekArrows{1, 2, 8, 4};
constexpr ArrowBits kBriskenArrows{8, 4, 1, 2};

} // namespace

void TfPelmora::BuildDisplayPanel() {
    pDisplayPanel = new QFrame(centralWidget());
    pDisplayPanel->setObjectName("pDisplayPanel");
    pDisplayPanel->setGeometry(0, 0, 430, 220);
    pDisplayPanel->setFrameShape(QFrame::Panel);
    // The picture of the device's panel: a dark bezel around the display glass.
    pDisplayPanel->setStyleSheet("QFrame#pDisplayPanel { background-color: #3a3f44; }");
    auto *glass = new QFrame(pDisplayPanel);
    glass->setObjectName("pDisplayGlass");
    glass->setGeometry(16, 58, 394, 98);
    glass->setStyleSheet("background-color: #9fc75a;");

    iHolvanek = new QLabel("Holvanek", pDisplayPanel);
    iHolvanek->setObjectName("iHolvanek");
    iHolvanek->setGeometry(16, 10, 200, 30);
    iHolvanek->setStyleSheet("color: white; font-weight: bold;");

    auto makeKey = [this](const char *name, const QString &caption, QRect rect) {
        auto *key = new QPushButton(caption, pDisplayPanel);
        key->setObjectName(name);
        key->setGeometry(rect);
        key->setFocusPolicy(Qt::NoFocus);
        return key;
    };
    sKeyNo1 = makeKey("sKeyNo1", "1", {24, 168, 50, 30});
    sKeyNo2 = makeKey("sKeyNo2", "2", {84, 168, 50, 30});
    sKeyNo3 = makeKey("sKeyNo3", "3", {144, 168, 50, 30});
    sKeyNo4 = makeKey("sKeyNo4", "4", {204, 168, 50, 30});
    bUpAndDownKeys = makeKey("bUpAndDownKeys", "Up and Down", {270, 168, 80, 30});
    bBriskenDiag = makeKey("bBriskenDiag", "Diag", {356, 168, 56, 30});
    const std::array<std::pair<QPushButton *, unsigned>, 4> keys{
        {{sKeyNo1, 1u}, {sKeyNo2, 2u}, {sKeyNo3, 4u}, {sKeyNo4, 8u}}};
    for (const auto &[key, bits] : keys) {
        connect(key, &QPushButton::pressed, this, [this, bits = bits] { SetPanelKey(bits, true); });
        connect(key, &QPushButton::released, this, [this, bits = bits] { SetPanelKey(bits, false); });
    }
    connect(bUpAndDownKeys, &QPushButton::pressed, this, [this] {
        SetPanelKey(2, true);
        SetPanelKey(4, true);
    });
    connect(bUpAndDownKeys, &QPushButton::released, this, [this] { SetPanelKey(6, false); });
    connect(bBriskenDiag, &QPushButton::pressed, this, [this] { SetPanelKey(9, true); });
    connect(bBriskenDiag, &QPushButton::released, this, [this] { SetPanelKey(9, false); });

    pbContrast = new QProgressBar(pDisplayPanel);
    pbContrast->setObjectName("pbContrast");
    pbContrast->setGeometry(24, 204, 200, 10);
    pbContrast->setRange(55, 254);
    pbContrast->setValue(110);
    pbContrast->setTextVisible(false);
    lBackLight = new QLabel("BackLight", pDisplayPanel);
    lBackLight->setObjectName("lBackLight");
    lBackLight->setGeometry(240, 200, 80, 16);
    lBackLight->setStyleSheet("color: yellow;");
}

void TfPelmora::CreateLcdCells() {
    for (int i = 0; i < LcdState::kCells; ++i) {
        auto *cell = new QLabel(pDisplayPanel);
        cell->setObjectName(QString("iLcdCell%1").arg(i));
        const int column = i % LcdState::kColumns;
        cell->setGeometry(24 + 24 * column, i < LcdState::kColumns ? kRow1Top : kRow2Top, kCellWidth,
                          kCellHeight);
        cell->setAttribute(Qt::WA_TranslucentBackground);
        cell->show();
        lcdCells[i] = cell;
    }
    lcd.SetDrawCell([this](int index, std::uint8_t code) { DrawLcdCell(index, code); });
    // Draw what the display holds now; the shadows make the first refresh draw every cell.
    lcd.RefreshLcdRow1();
    lcd.RefreshLcdRow2();
}

void TfPelmora::FreeLcdCells() {
    lcd.SetDrawCell({});
    for (QLabel *&cell : lcdCells) {
        delete cell;
        cell = nullptr;
    }
}

void TfPelmora::DrawLcdCell(int index, std::uint8_t code) {
    if (index < 0 || index >= LcdState::kCells || lcdCells[index] == nullptr)
        return;
    const std::uint8_t *rows = lcd.GlyphRows(code);
    if (rows == nullptr)
        return; // codes 8..31 keep the cell's previous picture
    QImage image(kCellWidth, kCellHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 5; ++j)
            if (rows[i] & (0x10 >> j))
                painter.fillRect(4 * j, 5 * i, 3, 4, Qt::black);
    painter.end();
    lcdCells[index]->setPixmap(QPixmap::fromImage(image));
    lcdCells[index]->setProperty("lcdCode", code);
}

void TfPelmora::LcdWrite(bool data, std::uint8_t byte) {
    lcd.LcdWrite(data, byte);
}

void TfPelmora::PutLcdChar(int position, std::uint8_t code) {
    lcd.PutLcdChar(position, code);
}

void TfPelmora::ClearLcd() {
    lcd.ClearLcd();
}

void TfPelmora::SetContrast(std::uint8_t value) {
    if (value == 255)
        value = 254;
    if (value < 55)
        value = 55;
    contrast = value;
    pbContrast->setValue(value);
}

void TfPelmora::StepContrastDown() {
    SetContrast(contrast <= 65 ? 55 : static_cast<std::uint8_t>(contrast - 10));
}

void TfPelmora::StepContrastUp() {
    SetContrast(contrast >= 244 ? 254 : static_cast<std::uint8_t>(contrast + 10));
}

void TfPelmora::BacklightOn() {
    lBackLight->show();
}

void TfPelmora::BacklightOff() {
    lBackLight->hide();
}

bool TfPelmora::IsBacklightOn() const {
    return !lBackLight->isHidden();
}

void TfPelmora::SetPanelKey(unsigned bits, bool pressed) {
    if (pressed)
        panelKeyMask |= bits;
    else
        panelKeyMask &= ~bits;
    if (serialPort->IsOpen()) {
        char sentence[32];
        std::snprintf(sentence, sizeof sentence, "$PQVZK,%01X", panelKeyMask);
        SendSentence(sentence);
    }
}

bool TfPelmora::eventFilter(QObject *watched, QEvent *event) {
    // The send line: while it has the focus the keyboard stays with it.
    if (watched == cbSendData || watched == cbSendData->lineEdit()) {
        if (event->type() == QEvent::FocusIn) {
            cbSendDataOnEnter();
        } else if (event->type() == QEvent::FocusOut) {
            cbSendDataOnExit();
        } else if (event->type() == QEvent::KeyPress) {
            // An editable combo box keeps the focus itself and hands keys to its line edit
            // directly: typed keys arrive here on the combo box.
            bool handled = false;
            cbKeyPressHandler(static_cast<QKeyEvent *>(event), handled);
            if (handled)
                return true;
        }
    }
    if (WindowsAppMessageLoop(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void TfPelmora::cbSendDataOnEnter() {
    keysToPanel = false;
    cbSendData->setToolTip("press Tab for Arrow Keys to control RFP");
}

void TfPelmora::cbSendDataOnExit() {
    keysToPanel = true;
    cbSendData->setToolTip(QString());
}

bool TfPelmora::WindowsAppMessageLoop(QObject *receiver, QEvent *event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    // Only keys typed into this window reach the panel; dialogs keep theirs.
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (widget == nullptr || widget->window() != this || !keysToPanel)
        return false;
    if (cbSendData->hasFocus() || cbSendData->lineEdit()->hasFocus())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (event->type() == QEvent::KeyPress && mainKeyPressHandler(*key))
        return true;
    const int code = key->key();
    const RfpType type = GetRfpType();
    if (code >= Qt::Key_F1 && code <= Qt::Key_F8) {
        if (event->type() == QEvent::KeyPress)
            RunUserButton(code - Qt::Key_F1);
        return true;
    }
    const ArrowBits arrows = type == RfpType::Brisken ? kBriskenArrows : kHolvanekArrows;
    unsigned bits = 0;
    switch (code) {
    case Qt::Key_Home:
        bits = 6;
        break;
    case Qt::Key_Left:
        bits = arrows.left;
        break;
    case Qt::Key_Up:
        bits = arrows.up;
        break;
    case Qt::Key_Right:
        bits = arrows.right;
        break;
    case Qt::Key_Down:
        bits = arrows.down;
        break;
    default:
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        // A repeat, also one X sends unmarked after a held-back release, is consumed: passed on,
        // Qt hands the same event to the parent, which finds no held release left to match it and
        // would send it as a new press. With the Off type the keys are not the panel's.
        if (keyReleaseHold.TakeRepeat(code, key->timestamp()) || key->isAutoRepeat())
            return type != RfpType::Off;
        if (type == RfpType::Off)
            return false;
        SendKeyRelease(keyReleaseHold.Take());
        SetPanelKey(bits, true);
        return true;
    }
    // A release clears the bits of every type, Off included, so no key stays held; it goes out
    // from the poll once no repeat's press has followed it.
    if (key->isAutoRepeat())
        return true;
    SendKeyRelease(keyReleaseHold.Hold({code, bits, key->timestamp(), tickTimer->Now()}));
    return true;
}

void TfPelmora::SendKeyRelease(const std::optional<KeyReleaseHold::Release> &release) {
    if (release)
        SetPanelKey(release->bits, false);
}
