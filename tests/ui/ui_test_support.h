#pragma once
// What the control and dialog tests share: a program folder of their own with
// the language files, settings and tips, and the Qt set-up.
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A fresh program folder: "Lang" with the English texts, no settings, no tips.
class ProgramFolder {
public:
    ProgramFolder();
    QString Path() const { return m_dir.path(); }
    void WriteFile(const QString& name, const std::string& content) const;
    std::string ReadFile(const QString& name) const;
    void RemoveFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Registers the pictures and the font stand-ins; safe to call more than once.
void InitUiTests();

// Whether two pixels differ by more than a little (antialiasing aside).
bool Differs(QRgb a, QRgb b);
// The leftmost column in which `a` and `b` differ, or -1 when they do not.
int FirstDifferingColumn(const QImage& a, const QImage& b);
