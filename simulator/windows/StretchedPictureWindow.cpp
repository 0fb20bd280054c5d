#include "StretchedPictureWindow.h"

#include "Colors.h"

#include <QPainter>
#include <functional>

namespace {

// A plain drawing surface that leaves its painting to its owner.
class PaintBox : public QWidget {
public:
    PaintBox(QWidget *parent, std::function<void(QPainter &)> onPaint)
        : QWidget(parent), onPaint(std::move(onPaint)) {}

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        onPaint(painter);
    }

private:
    std::function<void(QPainter &)> onPaint;
};

} // namespace

StretchedPictureWindow::StretchedPictureWindow(const char *name, const QString &caption,
                                               const char *paintBoxName, QWidget *parent)
    : QWidget(parent, Qt::Window), drawingBitmap(kPictureSize, kPictureSize, QImage::Format_RGB32) {
    setObjectName(name);
    setWindowTitle(caption);
    // Smaller than this the picture is no longer readable; the window refuses to shrink further.
    setMinimumSize(kMinimumSize, kMinimumSize);
    drawingBitmap.fill(platform::ButtonFaceColor());
    displayBitmap = drawingBitmap;
    paintBox = new PaintBox(this, [this](QPainter &painter) { PaintBoxOnPaint(painter); });
    paintBox->setObjectName(paintBoxName);
    resize(kDesignedSize, kDesignedSize);
    OnResize();
}

void StretchedPictureWindow::ShowDrawing() {
    displayBitmap = drawingBitmap;
    stretched = QImage();
    paintBox->update();
}

void StretchedPictureWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    OnResize();
}

void StretchedPictureWindow::OnResize() {
    paintBox->setGeometry(0, 0, width(), height());
    stretchRect = QRect(kMargin, kMargin, paintBox->width() - 2 * kMargin, paintBox->height() - 2 * kMargin);
    paintBox->update();
}

void StretchedPictureWindow::PaintBoxOnPaint(QPainter &painter) {
    if (stretchRect.isEmpty())
        return;
    // Averaging while shrinking keeps thin lines visible at every window size.
    if (stretched.size() != stretchRect.size())
        stretched = displayBitmap.scaled(stretchRect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(stretchRect.topLeft(), stretched);
}
