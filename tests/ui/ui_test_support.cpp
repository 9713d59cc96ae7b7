#include "ui_test_support.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "ui/controls/picture_resources.h"
#include "ui/settings/settings.h"

ProgramFolder::ProgramFolder() {
    QDir(m_dir.path()).mkpath(QStringLiteral("Lang"));
    QFile::copy(QStringLiteral(DECKMEND_SOURCE_DIR "/resources/Lang/English.INI"),
                m_dir.filePath(QStringLiteral("Lang/English.INI")));
    InitSettings(m_dir.path().toStdString());
}

void ProgramFolder::WriteFile(const QString& name, const std::string& content) const {
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content.data(), static_cast<qint64>(content.size()));
}

std::string ProgramFolder::ReadFile(const QString& name) const {
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

void ProgramFolder::RemoveFile(const QString& name) const {
    QFile::remove(m_dir.filePath(name));
}

void InitUiTests() {
    InitControlResources();
}

bool Differs(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 24;
}

int FirstDifferingColumn(const QImage& a, const QImage& b) {
    for (int x = 0; x < std::min(a.width(), b.width()); ++x)
        for (int y = 0; y < std::min(a.height(), b.height()); ++y)
            if (Differs(a.pixel(x, y), b.pixel(x, y))) return x;
    return -1;
}
