// Rectangle accessors over the filter record's 16-bit fields and the
// big-document record's 32-bit ones.
#include "host/big_document.h"

#include "host/globals.h"

namespace {
BigDocumentStruct* bigDocument() {
    BigDocumentStruct* big = gFilterRecord->bigDocumentData;
    return big && big->PluginUsing32BitCoordinates ? big : nullptr;
}

VRect widen(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }
VPoint widen(const Point& p) { return VPoint{p.v, p.h}; }
Rect narrow(const VRect& r) {
    return Rect{int16(uint16(r.top)), int16(uint16(r.left)), int16(uint16(r.bottom)), int16(uint16(r.right))};
}
}  // namespace

VPoint GetImageSize() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->imageSize32 : widen(gFilterRecord->imageSize);
}
VRect GetFilterRect() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->filterRect32 : widen(gFilterRecord->filterRect);
}
VRect GetInRect() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->inRect32 : widen(gFilterRecord->inRect);
}
VRect GetOutRect() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->outRect32 : widen(gFilterRecord->outRect);
}
VRect GetMaskRect() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->maskRect32 : widen(gFilterRecord->maskRect);
}
VPoint GetFloatCoord() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->floatCoord32 : widen(gFilterRecord->floatCoord);
}
VPoint GetWholeSize() {
    BigDocumentStruct* big = bigDocument();
    return big ? big->wholeSize32 : widen(gFilterRecord->wholeSize);
}

void SetInRect(VRect r) {
    if (BigDocumentStruct* big = bigDocument())
        big->inRect32 = r;
    else
        gFilterRecord->inRect = narrow(r);
}
void SetOutRect(VRect r) {
    if (BigDocumentStruct* big = bigDocument())
        big->outRect32 = r;
    else
        gFilterRecord->outRect = narrow(r);
}
void SetMaskRect(VRect r) {
    if (BigDocumentStruct* big = bigDocument())
        big->maskRect32 = r;
    else
        gFilterRecord->maskRect = narrow(r);
}
