// The inner view window of the picture control: paints the view bitmap and
// passes mouse actions to the control.
#pragma once

#include <QWidget>

class CRitraCtrl;

namespace ritra {

class RitraView : public QWidget {
public:
    explicit RitraView(CRitraCtrl *control);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    CRitraCtrl *m_control;
};

} // namespace ritra
