// Every outside address the program opens, in one place.
//
// The project has no web pages of its own yet, so each link names a page of
// the documentation shipped in data/docs/ (opened as a file URL by LinkUrl).
// When real pages exist, put their full addresses ("https://...") here; an
// address with a scheme is opened as it is.
#pragma once

namespace fenmora::links {

// The partner site for standby images, behind the banner under the lists.
inline constexpr const char* kPartnerSite = "docs/partner.html";

// The about box.
inline constexpr const char* kAuthorPage = "docs/author.html";
inline constexpr const char* kDonationPage = "docs/donate.html";
inline constexpr const char* kRatingsBoard = "docs/ratings.html";
inline constexpr const char* kSupportBoard = "docs/support.html";

}  // namespace fenmora::links
