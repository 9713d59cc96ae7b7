#pragma once
// The project's web pages and the files of the same maker that the help menu
// and the header links open.
namespace web {
inline constexpr const char* kSocialPage = "https://deckmend.example/community";
inline constexpr const char* kSupportPage = "https://deckmend.example/support";
inline constexpr const char* kFaqPage = "https://deckmend.example/faq";
}  // namespace web

inline constexpr const char* kHelpFileName = "deckmend.chm";
inline constexpr const char* kUpdaterFileName = "dmupdate.exe";
inline constexpr const char* kUpdaterMenuArguments = "/NoUpdateSelf";
