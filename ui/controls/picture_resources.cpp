#include "ui/controls/picture_resources.h"

#include <QFont>
#include <QStringList>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterPictureResources() {
    Q_INIT_RESOURCE(deckmend_pictures);
}

namespace {

// The faces the pages ask for are Windows fonts; these stand in for them where
// they are not installed, the closest in shape first.
void SubstituteWindowsFaces() {
    const QStringList humanist = {QStringLiteral("Carlito"), QStringLiteral("Liberation Sans"),
                                  QStringLiteral("DejaVu Sans")};
    const QStringList plain = {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"), humanist);
    QFont::insertSubstitutions(QStringLiteral("Trebuchet MS"), plain);
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), plain);
}

}  // namespace

void InitControlResources() {
    RegisterPictureResources();
    SubstituteWindowsFaces();
}

QString PictureResourcePath(int id, const char* type) {
    QString extension = QString::fromLatin1(type ? type : "PNG").toLower();
    return QStringLiteral(":/pictures/%1.%2").arg(id).arg(extension);
}

QString AnimationResourcePath(int id) {
    return QStringLiteral(":/pictures/%1.gif").arg(id);
}
