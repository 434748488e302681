#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace ql {

// The kinds of control the main window is built from, beyond Qt's own edit, combo
// and list widgets. Each reports a click only for the left button pressed and
// released over it, as the window's handlers expect.

// Tells a click apart: the left button pressed and then released over the same control.
class LeftClick {
public:
    void press(const QMouseEvent& event);
    // Whether the second press of a double click begins a click too.
    void setSecondPressClicks(bool clicks) { m_secondPressClicks = clicks; }
    // True when this release completes a click on the widget.
    bool release(const QWidget& widget, const QMouseEvent& event);

private:
    bool m_pressed = false;
    bool m_secondPressClicks = false;
};

// A label or image whose click the window handles.
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    LeftClick m_click;
};

// A picture box: a windowed control on its own ground colour, with its picture
// at the top-left corner, that can hold other controls.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent, const QColor& ground = Qt::white);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }

    // A one-pixel line in the window text colour around the box, drawn over the
    // controls it holds; while one of them has the focus, a wider line in the
    // highlight colour.
    void showBorderLine();

    // Whether the second press of a double click is a click of its own.
    void setSecondPressClicks(bool clicks) { m_click.setSecondPressClicks(clicks); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    QPixmap m_picture;
    QWidget* m_borderLine = nullptr;
    LeftClick m_click;
};

// A combo box that tells when the operator opens its list, before the list shows.
class ListOpeningComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ListOpeningComboBox(QWidget* parent);

    void showPopup() override;

signals:
    void listOpening();
};

// A flat captioned frame: a one-pixel line around the controls it holds, broken
// at the top by its caption. Children are placed relative to its outer corner.
class FlatFrame : public QWidget {
    Q_OBJECT

public:
    FlatFrame(const QString& caption, QWidget* parent);

    const QString& caption() const { return m_caption; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
};

} // namespace ql
