#pragma once
// The project's web pages and the files of the same maker that the help menu
// and the header links open.
namespace web {
inline constexpr const char* kSocialPage = "https://deckmend.example/community";
inline constexpr const char* kSupportPage = "https://deckmend.example/support";
inline constexpr const char* kFaqPage = "https://deckmend.example/faq";
inline constexpr const char* kUpdatePage = "https://deckmend.example/update";
}  // namespace web

// The help pages, one per language, in this folder of the program folder.
inline constexpr const char* kHelpFolder = "help/";
