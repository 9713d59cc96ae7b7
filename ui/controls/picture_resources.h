#pragma once
// The program's pictures: PNG resources by number, the application icon and the
// repair animation. They are compiled into the controls library as Qt resources.
#include <QString>

// Registers the pictures with Qt's resource system. Call once at start-up, before
// the first picture is loaded; calling it again does no harm.
void InitControlResources();

// Resource path of picture `id` of resource type `type` ("PNG" everywhere in this
// program): ":/pictures/<id>.png".
QString PictureResourcePath(int id, const char* type = "PNG");

inline constexpr int kApplicationIconId = 102;
inline constexpr int kRepairAnimationId = 317;

// The repair animation (a looping GIF that QMovie plays): ":/pictures/317.gif".
QString AnimationResourcePath(int id = kRepairAnimationId);
