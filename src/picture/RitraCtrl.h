// The picture control: a store of named bitmaps, a view with margins, zoom
// and scroll bars, pixel and drawing operations, and BMP and JPEG files. A
// host drives it through RitraDispatch (late binding by identifier); the Qt
// members below carry the same names.
#pragma once

#include "picture/RitraAutomation.h"
#include "picture/RitraGlobal.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QWidget>

class QScrollBar;
class QPainter;

namespace ritra {
class RitraView;
}

class RITRA_EXPORT CRitraCtrl : public QWidget, public RitraDispatch {
    Q_OBJECT
    Q_INTERFACES(RitraDispatch)

    // Persistent properties (saved and loaded in the order of persistentProperties()).
    Q_PROPERTY(short ViewMarginHorz READ viewMarginHorz WRITE setViewMarginHorz)
    Q_PROPERTY(short ViewMarginVert READ viewMarginVert WRITE setViewMarginVert)
    Q_PROPERTY(short ChangeHorz READ changeHorz WRITE setChangeHorz)
    Q_PROPERTY(short ChangeVert READ changeVert WRITE setChangeVert)
    Q_PROPERTY(int ForeColor MEMBER m_foreColor)
    Q_PROPERTY(int BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(short PenStyle MEMBER m_penStyle)
    Q_PROPERTY(short PenWidth MEMBER m_penWidth)
    Q_PROPERTY(short BackgroundMode MEMBER m_backgroundMode)
    Q_PROPERTY(short FillStyle MEMBER m_fillStyle)
    Q_PROPERTY(short DrawMode MEMBER m_drawMode)
    Q_PROPERTY(short TextAlign MEMBER m_textAlign)
    Q_PROPERTY(short FontName MEMBER m_fontName)
    Q_PROPERTY(short FontSize MEMBER m_fontSize)
    Q_PROPERTY(bool FontBold MEMBER m_fontBold)
    Q_PROPERTY(bool FontItalic MEMBER m_fontItalic)
    Q_PROPERTY(bool FontUnderline MEMBER m_fontUnderline)
    Q_PROPERTY(bool FontStrikeout MEMBER m_fontStrikeout)
    Q_PROPERTY(short TextAngle MEMBER m_textAngle)
    Q_PROPERTY(bool Visible READ controlVisible WRITE setControlVisible)
    Q_PROPERTY(int AmbientColor READ ambientColor WRITE setAmbientColor)
    Q_PROPERTY(short CurrentX MEMBER m_currentX)
    Q_PROPERTY(short CurrentY MEMBER m_currentY)
    Q_PROPERTY(short ObjectRotation MEMBER m_objectRotation)
    Q_PROPERTY(short ObjectTranslationX MEMBER m_objectTranslationX)
    Q_PROPERTY(short ObjectTranslationY MEMBER m_objectTranslationY)
    Q_PROPERTY(float ScaleObjectHorz MEMBER m_scaleObjectHorz)
    Q_PROPERTY(float ScaleObjectVert MEMBER m_scaleObjectVert)
    Q_PROPERTY(int FillColor MEMBER m_fillColor)
    Q_PROPERTY(short Target MEMBER m_target)
    Q_PROPERTY(bool ScrollTrack READ scrollTrack WRITE setScrollTrack)
    Q_PROPERTY(bool MouseScroll MEMBER m_mouseScroll)
    Q_PROPERTY(QString FilePath MEMBER m_filePath)
    Q_PROPERTY(bool ObjectEdit MEMBER m_objectEdit)
    Q_PROPERTY(bool AutoSize MEMBER m_autoSize)
    Q_PROPERTY(bool KeepAspect MEMBER m_keepAspect)
    Q_PROPERTY(int EditBoxColor MEMBER m_editBoxColor)
    Q_PROPERTY(bool ObjectBorder MEMBER m_objectBorder)
    Q_PROPERTY(bool FontTransparent MEMBER m_fontTransparent)
    Q_PROPERTY(bool Transparent MEMBER m_transparent)
    Q_PROPERTY(bool Mask MEMBER m_mask)

    // Run-time properties.
    Q_PROPERTY(QString Polygon MEMBER m_polygon)
    Q_PROPERTY(QString PolyLine MEMBER m_polyLine)
    Q_PROPERTY(QString String MEMBER m_string)
    Q_PROPERTY(short ColorR MEMBER m_colorR)
    Q_PROPERTY(short ColorG MEMBER m_colorG)
    Q_PROPERTY(short ColorB MEMBER m_colorB)
    Q_PROPERTY(short SelectArea MEMBER m_selectArea)
    Q_PROPERTY(int hDCTarget MEMBER m_hDCTarget)
    Q_PROPERTY(int ObjectWidth MEMBER m_objectWidth)
    Q_PROPERTY(int ObjectHeight MEMBER m_objectHeight)
    Q_PROPERTY(short ColorBits READ colorBits)
    Q_PROPERTY(int hWndView READ hWndView)
    Q_PROPERTY(QImage Picture MEMBER m_picture)
    Q_PROPERTY(short BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(int hWnd READ hWndControl)

public:
    // Type-library enumerations. Draw modes count from 1, so that the default
    // draw mode 5 is "copy the pen".
    enum enumPenStyle {
        PenStyleSolid,
        PenStyleDash,
        PenStyleDot,
        PenStyleDashDot,
        PenStyleDashDotDot,
        PenStyleInsideFrame
    };
    Q_ENUM(enumPenStyle)
    enum enumFillStyle {
        FillStyleTransparent,
        FillStyleSolid,
        FillStyleBackwardDiagonal,
        FillStyleCross,
        FillStyleDiagonalCross,
        FillStyleForewardDiagonal,
        FillStyleHorizontalHatch,
        FillStyleVerticalHatch
    };
    Q_ENUM(enumFillStyle)
    enum enumBackgroundMode { BackgroundModeOpaque, BackgroundModeTransparent };
    Q_ENUM(enumBackgroundMode)
    enum enumTextAlign { TextAlignLeftAlign, TextAlignCenterAlign, TextAlignRightAlign };
    Q_ENUM(enumTextAlign)
    enum enumFontName {
        FontNone,
        FontArial,
        FontCourier,
        FontCourierNew,
        FontFixedsys,
        FontMarlett,
        FontModern,
        FontMSSansSerif,
        FontMSSerif,
        FontSmallFonts,
        FontSymbol,
        FontSystem,
        FontTerminal,
        FontTimesNewRoman,
        FontWingdings
    };
    Q_ENUM(enumFontName)
    enum enumDrawMode {
        ModeBlack = 1,
        ModeWhite,
        ModeNop,
        ModeNot,
        ModeCopyPen,
        ModeNotCopyPen,
        ModeMergePenNot,
        ModeMaskPenNot,
        ModeMergeNotPen,
        ModeMaskNotPen,
        ModeMergePen,
        ModeNotMergePen,
        ModeMaskPen,
        ModeNotMaskPen,
        ModeXorPen,
        ModeNotXorPen
    };
    Q_ENUM(enumDrawMode)
    enum enumViewBorderStyle { ViewBorderNone, ViewBorderFixedSingle };
    Q_ENUM(enumViewBorderStyle)

    enum class MessageIcon { None, Information, Critical };

    explicit CRitraCtrl(QWidget *parent = nullptr);
    ~CRitraCtrl() override;

    static const QStringList &persistentProperties();

    // RitraDispatch
    int dispatchId(const QString &name) const override;
    QString dispatchName(int id) const override;
    int eventId(const QString &name) const override;
    bool invoke(int id, Call call, const QVariantList &args, QVariant *result, QString *error) override;
    QByteArray saveProperties() const override;
    bool loadProperties(const QByteArray &block) override;

    // The bitmap a name resolves to, or nullptr ("" current, "_view" view).
    const QImage *bitmap(const QString &name) const;
    QSize viewBitmapSize() const;
    QWidget *viewWindow() const;
    QScrollBar *horizontalBar() const { return m_hbar; }
    QScrollBar *verticalBar() const { return m_vbar; }

    // Property accessors with side effects.
    short viewMarginHorz() const { return m_viewMarginHorz; }
    void setViewMarginHorz(short v);
    short viewMarginVert() const { return m_viewMarginVert; }
    void setViewMarginVert(short v);
    short changeHorz() const { return m_changeHorz; }
    void setChangeHorz(short v);
    short changeVert() const { return m_changeVert; }
    void setChangeVert(short v);
    int backColor() const { return m_backColor; }
    void setBackColor(int c);
    bool controlVisible() const { return m_visible; }
    void setControlVisible(bool v);
    int ambientColor() const { return m_ambientColor; }
    void setAmbientColor(int c);
    bool scrollTrack() const { return m_scrollTrack; }
    void setScrollTrack(bool v);
    short colorBits() const;
    int hWndView() const;
    short borderStyle() const { return m_borderStyle; }
    void setBorderStyle(short v);
    int hWndControl() const;

    // Bitmap store.
    Q_INVOKABLE short LoadBitmap(const QString &FileName, const QString &BitmapName);
    Q_INVOKABLE short RemoveBitmap(const QString &Name);
    Q_INVOKABLE short RemoveAll();
    Q_INVOKABLE short GetBitmapCount();
    Q_INVOKABLE short CreateBitmap(const QString &Name, short Width, short Height);
    Q_INVOKABLE short SaveBitmap(const QString &FileName, const QString &BitmapName);
    Q_INVOKABLE short CopyBitmap(const QString &Name1, const QString &Name2);
    Q_INVOKABLE QString GetBitmapName(short Index);
    Q_INVOKABLE short CopyBitmapToClipboard(const QString &Name);
    Q_INVOKABLE short GetBitmapFromClipboard(const QString &Name);

    // Drawing on the current target (Target 0: the current bitmap, 1: the view).
    Q_INVOKABLE short SetCustomFontName(const QString &FontName);
    Q_INVOKABLE void DrawArc(short x1, short y1, short x2, short y2, short x3, short y3, short x4, short y4);
    Q_INVOKABLE void DrawCircle(short x, short y, short radius);
    Q_INVOKABLE void DrawEllipse(short x1, short y1, short x2, short y2);
    Q_INVOKABLE void DrawPie(short x1, short y1, short x2, short y2, short x3, short y3, short x4, short y4);
    Q_INVOKABLE void DrawRectangle(short x1, short y1, short x2, short y2);
    Q_INVOKABLE void DrawLine(short x1, short y1, short x2, short y2);
    Q_INVOKABLE void DrawRoundRect(short x1, short y1, short x2, short y2, short w2, short h2);
    Q_INVOKABLE void DrawText(short x, short y, const QString &Text);
    Q_INVOKABLE void DrawChord(short x1, short y1, short x2, short y2, short x3, short y3, short x4,
                               short y4);

    // Bitmap processing.
    Q_INVOKABLE short DrawBitmapBorder();
    Q_INVOKABLE short BitmapToMask(const QString &Name);
    Q_INVOKABLE short MaskToEdge(const QString &Name);
    Q_INVOKABLE short AppendBitmap(const QString &Name1, const QString &Name2);
    Q_INVOKABLE short DrawBitmapToBitmap(const QString &Source, const QString &Dest, short x, short y,
                                         short Transparent);
    Q_INVOKABLE short CutBitmap(const QString &Name, short x, short y, short Width, short Height);
    Q_INVOKABLE short StretchBitmap(const QString &Name, short Width, short Height);
    Q_INVOKABLE short GetBitmapSize(const QString &Name);
    Q_INVOKABLE short GetPixel(const QString &Name, short x, short y);
    Q_INVOKABLE short SetPixel(const QString &Name, short x, short y, short r, short g, short b);
    Q_INVOKABLE short FlipBitmap(const QString &Name, short Flag);
    Q_INVOKABLE short CutPolygon(const QString &Source, const QString &Dest, short OffsetX, short OffsetY,
                                 short Width, short Height);
    Q_INVOKABLE short SaveBitmap2(const QString &FileName, const QString &BitmapName, short ColorBits);
    Q_INVOKABLE short SetColorPalette(const QString &Name);
    Q_INVOKABLE short AirBrush(const QString &Name, short x, short y, short radius, short weight, short mode,
                               short r, short g, short b);
    Q_INVOKABLE short ChangeColor(const QString &Name, short r1, short g1, short b1, short r2, short g2,
                                  short b2, short mode);

    // Dialogs and view.
    Q_INVOKABLE short ShowColorDialog();
    Q_INVOKABLE short ShowFileDialog(short Open, const QString &Ext, const QString &Filter,
                                     const QString &FileName);
    Q_INVOKABLE short IsBitmapPresent(const QString &Name);
    Q_INVOKABLE void RefreshView();
    Q_INVOKABLE int GetColorPalette();
    Q_INVOKABLE int GetBitmap(const QString &Name);
    Q_INVOKABLE short MoveControl(short x, short y, short Width, short Height, short Repaint);
    Q_INVOKABLE short ShowScroll(short Bar, short Show);
    Q_INVOKABLE short ShowBitmap(const QString &Name, short ResetScroll);
    Q_INVOKABLE short ZoomBitmap(const QString &Name, short Zoom);
    Q_INVOKABLE short GetZoomValue();
    Q_INVOKABLE short MakeBitmap(int hBitmap, const QString &Name);

    // Points and polygons.
    Q_INVOKABLE short GetPoint(short Index);
    Q_INVOKABLE short RemoveLastPoint();
    Q_INVOKABLE short RemoveAllPoints();
    Q_INVOKABLE short GetPointCount();
    Q_INVOKABLE short DrawPoly(const QString &Points, short CurrentX, short CurrentY, short TransX,
                               short TransY, float ScaleX, float ScaleY, short Rotate, short Closed,
                               short Filled, short MarkPoints);
    Q_INVOKABLE short DrawGrid(short x, short y, short Width, short Height, short nx, short ny);

    // Gauges.
    Q_INVOKABLE short SetGaugeValue(const QString &gaugeName, short value);
    Q_INVOKABLE short GetGaugeValue(const QString &gaugeName);
    Q_INVOKABLE short AddGauge(const QString &gaugeName, const QString &type, const QString &position,
                               const QString &setting);
    Q_INVOKABLE short RemoveAllGauges();
    Q_INVOKABLE short RemoveGauge(const QString &gaugeName);
    Q_INVOKABLE short TranslatePolygon(const QString &Points, short dx, short dy);
    Q_INVOKABLE short GetPolygonData();
    Q_INVOKABLE short GetSelectAreaData();

    // Device and bitmap handles.
    Q_INVOKABLE int GetDevice(int hWnd);
    Q_INVOKABLE short ReleaseDevice(int hWnd, int hDC);
    Q_INVOKABLE short SetControlInfo(short which, const QString &Info);
    Q_INVOKABLE QString GetControlInfo(short which);
    Q_INVOKABLE int GetTextWidth(const QString &Text);
    Q_INVOKABLE int GetTextHeight();
    Q_INVOKABLE short FloodFill(short x, short y, short r, short g, short b, short FillType);
    Q_INVOKABLE int MakeBitmapHandle(int hBitmap);
    Q_INVOKABLE short DeleteBitmapHandle(int hBitmap);
    Q_INVOKABLE short GetBitmapIndex(const QString &Name);
    Q_INVOKABLE int GetBitmapDC(int hBitmap);
    Q_INVOKABLE int ReleaseBitmapDC(int hBitmap);
    Q_INVOKABLE short OpenDevice();
    Q_INVOKABLE short CloseDevice();
    Q_INVOKABLE short DrawBitmap(const QString &Name, int x, int y);
    Q_INVOKABLE int GetScreenSize(short which);
    Q_INVOKABLE short CaptureBitmap(int hWnd, short x, short y, short Width, short Height,
                                    const QString &Name);
    Q_INVOKABLE int SetCursor(int hInst, const QString &cursorName);

    // Scripts.
    Q_INVOKABLE short LoadScript(const QString &FileName);
    Q_INVOKABLE short RunScript(const QString &Data);
    Q_INVOKABLE short BitBlt(int hdcDest, short nXDest, short nYDest, short nWidth, short nHeight, int hdcSrc,
                             short nXSrc, short nYSrc, int dwRop);

    // Drawing objects.
    Q_INVOKABLE short AddObject(const QString &Name, short Type, short x, short y, short w, short h,
                                short Layer, const QString &Data, const QString &Attrib);
    Q_INVOKABLE short GetObjectIndex(const QString &Name);
    Q_INVOKABLE short RemoveAllObjects();
    Q_INVOKABLE short RemoveObject(const QString &Name);
    Q_INVOKABLE QString GetObjectName(short Index);
    Q_INVOKABLE short GetObjectType(short Index);
    Q_INVOKABLE short GetObjectX(short Index);
    Q_INVOKABLE short GetObjectY(short Index);
    Q_INVOKABLE short GetObjectW(short Index);
    Q_INVOKABLE short GetObjectH(short Index);
    Q_INVOKABLE QString GetObjectData(short Index);
    Q_INVOKABLE QString GetObjectAttrib(short Index);
    Q_INVOKABLE short GetObjectCount();
    Q_INVOKABLE short SetObjectX(const QString &Name, short Value);
    Q_INVOKABLE short SetObjectY(const QString &Name, short Value);
    Q_INVOKABLE short SetObjectW(const QString &Name, short Value);
    Q_INVOKABLE short SetObjectH(const QString &Name, short Value);
    Q_INVOKABLE short SetObjectData(const QString &Name, const QString &Data);
    Q_INVOKABLE short SetObjectAttrib(const QString &Name, const QString &Attrib, short Merge);
    Q_INVOKABLE int GetObjectAttribValue(const QString &Name, const QString &Property);
    Q_INVOKABLE QString GetObjectAttribString(const QString &Name, const QString &Property);
    Q_INVOKABLE short InsertObject(short Index, const QString &Name, short Type, short x, short y, short w,
                                   short h, const QString &Data, const QString &Attrib);
    Q_INVOKABLE short SelectObject(const QString &Name);
    Q_INVOKABLE short SetObjectOrder(const QString &Name, short Order);
    Q_INVOKABLE QString GetObjectFromPosition(short x, short y);
    Q_INVOKABLE QString GetSelectedObject();
    Q_INVOKABLE short UpdateDoc();
    Q_INVOKABLE int StartDragAndDrop(int Data, const QString &Text);
    Q_INVOKABLE short Undo();
    Q_INVOKABLE short DrawObjects();
    Q_INVOKABLE short EnumerateFonts(short Style);

    // Text and script functions.
    Q_INVOKABLE QString ParseStr(const QString &str, const QString &token1, const QString &token2);
    Q_INVOKABLE short SetObjectName(const QString &Name, const QString &NewName);
    Q_INVOKABLE QString ReplaceStr(const QString &sIn, const QString &sFind, const QString &sReplace);
    Q_INVOKABLE short SaveAttributes();
    Q_INVOKABLE short RestoreAttributes();
    Q_INVOKABLE short AppendScriptLine(const QString &Name, const QString &ScriptLine);
    Q_INVOKABLE short SaveObjectScript(const QString &FileName);
    Q_INVOKABLE short SetBitmapName(const QString &Name, const QString &NewName);
    Q_INVOKABLE bool IsFilePresent(const QString &FileName);
    Q_INVOKABLE QString IsInsideObject(int x, int y);

    // Files and view position.
    Q_INVOKABLE short ConvertBmpToJpg(const QString &FileName1, const QString &FileName2);
    Q_INVOKABLE int GetCharSetType(const QString &FontName);
    Q_INVOKABLE void SetScrollPosition(short Bar, short Pos);
    Q_INVOKABLE short GetScrollPosition(short Bar);
    Q_INVOKABLE short RotateBitmap(const QString &Source, const QString &Dest, short Angle, short Fit,
                                   short OffsetX, short OffsetY);

    // Standard.
    Q_INVOKABLE void AboutBox();

signals:
    // Events, in their fixed order.
    void MouseEvent(short EventType, short x, short y, short Button);
    void DragAndDropMouseUp(short Button, int x, int y);
    void ObjectPositionAfter(const QString &ObjectName, int x, int y, int w, int h);
    void UpdateDocument();
    void NewObjectAfter(const QString &Name, short ObjectType, short x, short y, short w, short h,
                        const QString &Data, const QString &Attrib);
    void NewObject(const QString &Name, short ObjectType, short x, short y, short w, short h,
                   const QString &Data, const QString &Attrib);
    void NewFont(const QString &FontName);
    // The standard error event.
    void Error(int Number, const QString &Description);
    // Every message the control shows (also on hosts without a display).
    void messageShown(const QString &title, const QString &text, int icon);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    friend class ritra::RitraView;

    struct Attributes {
        int foreColor, backColor, fillColor;
        short penStyle, penWidth, backgroundMode, fillStyle, drawMode, textAlign, fontName, fontSize,
            textAngle;
        bool fontBold, fontItalic, fontUnderline, fontStrikeout, fontTransparent;
        QString customFont;
    };

    // True where no message box or dialog may open (no display, or the
    // offscreen and minimal platforms): messages then go to standard error.
    static bool noDisplay();
    int findEntry(const QString &name) const;
    QImage *resolve(const QString &name);
    void store(const QString &name, const QImage &image);
    QString resolveFileName(const QString &name) const;
    void showMessage(const QString &title, const QString &text, MessageIcon icon);
    void raiseError(const QString &text);
    QImage loadImageFile(const QString &path, bool *ok);
    QImage decodeJpegFile(const QString &path);
    bool writeFile(const QString &path, const QByteArray &bytes, bool reportErrors);
    void layoutView(int width, int height, int mode);
    void updateScrollBars();
    void placeView();
    void viewChanged();
    QImage *drawingTarget();
    bool beginDrawing(QPainter &painter, QImage *&target);
    void endDrawing(QImage *target);
    QFont currentFont() const;
    void drawArcFamily(int kind, short x1, short y1, short x2, short y2, short x3, short y3, short x4,
                       short y4);
    void viewMouse(short type, QPoint pos, short button);
    Attributes captureAttributes() const;
    void applyAttributes(const Attributes &a);

    // Persistent.
    short m_viewMarginHorz = 0;
    short m_viewMarginVert = 0;
    short m_changeHorz = 10;
    short m_changeVert = 10;
    int m_foreColor = 0;
    int m_backColor = 0xFFFFFF;
    short m_penStyle = 0;
    short m_penWidth = 1;
    short m_backgroundMode = 1;
    short m_fillStyle = 0;
    short m_drawMode = 5;
    short m_textAlign = 0;
    short m_fontName = 1;
    short m_fontSize = 8;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    bool m_fontUnderline = false;
    bool m_fontStrikeout = false;
    short m_textAngle = 0;
    bool m_visible = true;
    int m_ambientColor = 0x808080;
    short m_currentX = 0;
    short m_currentY = 0;
    short m_objectRotation = 0;
    short m_objectTranslationX = 0;
    short m_objectTranslationY = 0;
    float m_scaleObjectHorz = 1.0f;
    float m_scaleObjectVert = 1.0f;
    int m_fillColor = 0;
    short m_target = 0;
    bool m_scrollTrack = true;
    bool m_mouseScroll = false;
    QString m_filePath;
    bool m_objectEdit = false;
    bool m_autoSize = true;
    bool m_keepAspect = true;
    int m_editBoxColor = 0xC0C0C0;
    bool m_objectBorder = false;
    bool m_fontTransparent = true;
    bool m_transparent = false;
    bool m_mask = false;

    // Run-time.
    QString m_polygon;
    QString m_polyLine;
    QString m_string;
    short m_colorR = 0;
    short m_colorG = 0;
    short m_colorB = 0;
    short m_selectArea = 0;
    int m_hDCTarget = 0;
    int m_objectWidth = 0;
    int m_objectHeight = 0;
    QImage m_picture;
    short m_borderStyle = 0;

    // Store and view.
    QStringList m_names;
    QList<QImage> m_bitmaps;
    QImage m_current;
    QImage m_viewBitmap;
    short m_zoom = 100;
    QList<QRgb> m_palette;
    QList<QPoint> m_points;
    QString m_customFont;
    QList<Attributes> m_savedAttributes;
    QPoint m_dragStart;
    QPoint m_dragScroll;

    ritra::RitraView *m_view = nullptr;
    QScrollBar *m_hbar = nullptr;
    QScrollBar *m_vbar = nullptr;
};
