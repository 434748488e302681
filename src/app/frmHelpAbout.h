#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QMouseEvent;

namespace ql {

// The maker's web address shown, and kept, in txtUrl.
inline const QString kMakerUrl = QStringLiteral("https://quorvalink.example.org");

// The about box. Built over the main window, whose caption and geometry it
// reads while loading; closed by its own close button or by Esc or Enter.
class frmHelpAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmHelpAbout(QWidget& mainWindow);

    // Builds a fresh box and shows it modally; returns when it is closed.
    static void showModal(QWidget& mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    // Draws the pictures at the screen's device pixel ratio, when that has changed.
    void drawPictures();
    void Form_Load(const QWidget& mainWindow);
    void ResetCloseButton();
    bool handleCloseButtonMouse(const QEvent& event);
    void txtUrl_Change();

    QWidget* PicLineBot = nullptr;
    QWidget* PicLineTop = nullptr;
    QWidget* PicLineRgt = nullptr;
    QWidget* PicLineLft = nullptr;
    QLineEdit* txtUrl = nullptr;
    QWidget* Line2 = nullptr;
    QLabel* lblDesc = nullptr;
    QFrame* Shape2 = nullptr;
    QLabel* lblAuthor = nullptr;
    QWidget* Line1 = nullptr;
    QLabel* lblAbout = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* ImgXbut = nullptr;
    QLabel* ImgXcur = nullptr;
    QLabel* ImgXclk = nullptr;
    QLabel* ImgXdef = nullptr;
    QLabel* Image1 = nullptr;

    // A click needs the left button pressed and released on the close button.
    bool m_leftPressedOnClose = false;
    qreal m_picturesRatio = 0.0;
    bool m_followingRatio = false;
};

} // namespace ql
