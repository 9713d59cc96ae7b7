#pragma once
// Writes a looping animated GIF from frames of one size: one palette for all
// frames (the most used colours), LZW-compressed image data.
#include <QImage>
#include <QString>
#include <vector>

bool WriteLoopingGif(const QString& path, const std::vector<QImage>& frames, int delayMs);
