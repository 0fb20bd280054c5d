#pragma once
#include <QImage>
#include <QRect>
#include <QWidget>

class QPainter;

// A small window showing a 1000 x 1000 picture stretched over its client area less a 5 px
// margin. The picture is drawn on the drawing bitmap and then handed to the display bitmap
// whole, so a repaint never shows half a drawing.
class StretchedPictureWindow : public QWidget {
public:
    static constexpr int kPictureSize = 1000;
    static constexpr int kMinimumSize = 210;
    static constexpr int kMargin = 5;
    static constexpr int kDesignedSize = 300;

    const QImage &GetDisplayBitmap() const { return displayBitmap; }
    QRect GetStretchRect() const { return stretchRect; }
    QWidget *GetPaintBox() const { return paintBox; }

protected:
    StretchedPictureWindow(const char *name, const QString &caption, const char *paintBoxName,
                           QWidget *parent);

    // Copies the drawing bitmap to the display bitmap and repaints.
    void ShowDrawing();
    void resizeEvent(QResizeEvent *event) override;

    const QRect drawingRect{0, 0, kPictureSize, kPictureSize};
    QImage drawingBitmap;

private:
    void OnResize();
    void PaintBoxOnPaint(QPainter &painter);

    QWidget *paintBox = nullptr;
    QImage displayBitmap;
    QRect stretchRect;
    // The display bitmap scaled to the stretch rectangle, kept until either changes.
    QImage stretched;
};
