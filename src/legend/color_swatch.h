#pragma once

#include <QColor>
#include <QWidget>

namespace rv {

// A colour swatch: a plain rectangle filled with one colour, nothing else.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QColor color_ = Qt::black;
};

} // namespace rv
