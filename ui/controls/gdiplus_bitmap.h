#pragma once
// Bitmaps made from the program's PNG resources.
#include <QImage>
#include <memory>

#include "platform/win_types.h"

// Owns one bitmap, or none.
class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() = default;
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    void Empty() { m_pBitmap.reset(); }
    bool IsEmpty() const { return m_pBitmap == nullptr; }
    // The bitmap for drawing; only valid when not empty.
    const QImage& Bitmap() const { return *m_pBitmap; }
    int Width() const { return m_pBitmap ? m_pBitmap->width() : 0; }
    int Height() const { return m_pBitmap ? m_pBitmap->height() : 0; }

protected:
    std::unique_ptr<QImage> m_pBitmap;
};

// A bitmap decoded from resource `id` of type `type`.
class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    CGdiPlusBitmapResource() = default;
    CGdiPlusBitmapResource(UINT id, const char* type = "PNG") { Load(id, type); }

    // Drops any earlier bitmap, then decodes the resource. False, and empty,
    // when there is no such resource or it is not a picture.
    bool Load(UINT id, const char* type = "PNG");
};
