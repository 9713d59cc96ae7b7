#include "ui/controls/gdiplus_bitmap.h"

#include <QFile>

#include "ui/controls/picture_resources.h"

bool CGdiPlusBitmapResource::Load(UINT id, const char* type) {
    Empty();
    QFile resource(PictureResourcePath(static_cast<int>(id), type));
    if (!resource.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = resource.readAll();
    if (bytes.isEmpty()) return false;
    auto image = std::make_unique<QImage>();
    if (!image->loadFromData(bytes) || image->isNull()) return false;
    m_pBitmap = std::move(image);
    return true;
}
