#include "picture/RitraDispatchTable.h"

#include "picture/RitraAutomation.h"

#include <QHash>

namespace ritra {

namespace {

const char *const kMembers[kLastMemberId] = {
    // Properties 1 to 52.
    "ViewMarginHorz", "ViewMarginVert", "ChangeHorz", "ChangeVert", "PenStyle", "PenWidth", "FillStyle",
    "BackgroundMode", "DrawMode", "Visible", "TextAlign", "FontName", "FontSize", "FontBold", "FontItalic",
    "FontUnderline", "FontStrikeout", "TextAngle", "AmbientColor", "CurrentX", "CurrentY", "Polygon",
    "ObjectRotation", "ObjectTranslationX", "ObjectTranslationY", "PolyLine", "ScaleObjectHorz",
    "ScaleObjectVert", "ColorR", "ColorG", "ColorB", "SelectArea", "String", "FillColor", "hDCTarget",
    "Target", "ObjectWidth", "ObjectHeight", "ScrollTrack", "MouseScroll", "FilePath", "ObjectEdit",
    "AutoSize", "KeepAspect", "EditBoxColor", "ObjectBorder", "FontTransparent", "Transparent", "Mask",
    "ColorBits", "hWndView", "Picture",
    // Methods 53 to 62: bitmap store.
    "LoadBitmap", "RemoveBitmap", "RemoveAll", "GetBitmapCount", "CreateBitmap", "SaveBitmap", "CopyBitmap",
    "GetBitmapName", "CopyBitmapToClipboard", "GetBitmapFromClipboard",
    // 63 to 72: drawing.
    "SetCustomFontName", "DrawArc", "DrawCircle", "DrawEllipse", "DrawPie", "DrawRectangle", "DrawLine",
    "DrawRoundRect", "DrawText", "DrawChord",
    // 73 to 88: bitmap processing.
    "DrawBitmapBorder", "BitmapToMask", "MaskToEdge", "AppendBitmap", "DrawBitmapToBitmap", "CutBitmap",
    "StretchBitmap", "GetBitmapSize", "GetPixel", "SetPixel", "FlipBitmap", "CutPolygon", "SaveBitmap2",
    "SetColorPalette", "AirBrush", "ChangeColor",
    // 89 to 100: dialogs and view.
    "ShowColorDialog", "ShowFileDialog", "IsBitmapPresent", "RefreshView", "GetColorPalette", "GetBitmap",
    "MoveControl", "ShowScroll", "ShowBitmap", "ZoomBitmap", "GetZoomValue", "MakeBitmap",
    // 101 to 106: points and polygons.
    "GetPoint", "RemoveLastPoint", "RemoveAllPoints", "GetPointCount", "DrawPoly", "DrawGrid",
    // 107 to 114: gauges.
    "SetGaugeValue", "GetGaugeValue", "AddGauge", "RemoveAllGauges", "RemoveGauge", "TranslatePolygon",
    "GetPolygonData", "GetSelectAreaData",
    // 115 to 132: device and bitmap handles.
    "GetDevice", "ReleaseDevice", "SetControlInfo", "GetControlInfo", "GetTextWidth", "GetTextHeight",
    "FloodFill", "MakeBitmapHandle", "DeleteBitmapHandle", "GetBitmapIndex", "GetBitmapDC", "ReleaseBitmapDC",
    "OpenDevice", "CloseDevice", "DrawBitmap", "GetScreenSize", "CaptureBitmap", "SetCursor",
    // 133 to 135: scripts.
    "LoadScript", "RunScript", "BitBlt",
    // 136 to 166: drawing objects.
    "AddObject", "GetObjectIndex", "RemoveAllObjects", "RemoveObject", "GetObjectName", "GetObjectType",
    "GetObjectX", "GetObjectY", "GetObjectW", "GetObjectH", "GetObjectData", "GetObjectAttrib",
    "GetObjectCount", "SetObjectX", "SetObjectY", "SetObjectW", "SetObjectH", "SetObjectData",
    "SetObjectAttrib", "GetObjectAttribValue", "GetObjectAttribString", "InsertObject", "SelectObject",
    "SetObjectOrder", "GetObjectFromPosition", "GetSelectedObject", "UpdateDoc", "StartDragAndDrop", "Undo",
    "DrawObjects", "EnumerateFonts",
    // 167 to 176: text and script functions.
    "ParseStr", "SetObjectName", "ReplaceStr", "SaveAttributes", "RestoreAttributes", "AppendScriptLine",
    "SaveObjectScript", "SetBitmapName", "IsFilePresent", "IsInsideObject",
    // 177 to 181: files and view position.
    "ConvertBmpToJpg", "GetCharSetType", "SetScrollPosition", "GetScrollPosition", "RotateBitmap"};

struct Standard {
    int id;
    const char *name;
};
const Standard kStandard[] = {{RitraDispatch::kBackColor, "BackColor"},
                              {RitraDispatch::kBorderStyle, "BorderStyle"},
                              {RitraDispatch::kForeColor, "ForeColor"},
                              {RitraDispatch::kHWnd, "hWnd"},
                              {RitraDispatch::kAboutBox, "AboutBox"}};

const char *const kEvents[] = {"MouseEvent",     "DragAndDropMouseUp", "ObjectPositionAfter",
                               "UpdateDocument", "NewObjectAfter",     "NewObject",
                               "NewFont"};

const QHash<QString, int> &idsByName() {
    static const QHash<QString, int> table = [] {
        QHash<QString, int> t;
        for (int i = 0; i < kLastMemberId; ++i)
            t.insert(QString::fromLatin1(kMembers[i]).toLower(), i + 1);
        for (const Standard &s : kStandard)
            t.insert(QString::fromLatin1(s.name).toLower(), s.id);
        return t;
    }();
    return table;
}

} // namespace

const char *memberName(int id) {
    if (id >= 1 && id <= kLastMemberId)
        return kMembers[id - 1];
    for (const Standard &s : kStandard) {
        if (s.id == id)
            return s.name;
    }
    return nullptr;
}

int memberId(const QString &name) {
    return idsByName().value(name.toLower(), 0);
}

int eventIdOf(const QString &name) {
    for (int i = 0; i < int(std::size(kEvents)); ++i) {
        if (name.compare(QLatin1String(kEvents[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

const char *eventName(int id) {
    return (id >= 1 && id <= int(std::size(kEvents))) ? kEvents[id - 1] : nullptr;
}

} // namespace ritra
