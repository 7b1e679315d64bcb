// Test helper of the pass tests: a stand-in site in a temporary directory of its own, named to
// the stand-in of the host libraries through ZELSNMP_SITE, with its TM server "S" connected for
// the pass to write to; the journal of the writes and the site's logs read back.

#ifndef ZELSNMP_POLLER_PASS_TEST_SITE_H_
#define ZELSNMP_POLLER_PASS_TEST_SITE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/scadalink.h"
#include "testing/environment.h"
#include "testing/journal.h"
#include "testing/temp_directory.h"

namespace zelsnmp::testing_support {

class PassTestSite {
 public:
  PassTestSite() : site_(directory_.PathOf("site")) {
    SetEnv("ZELSNMP_SITE", site_.string());
    std::filesystem::create_directories(site_ / "tm" / "S");
    tm_ = slConnect(".", "S", 0, nullptr, 0);
  }
  ~PassTestSite() {
    if (tm_ > 0) slDisconnect(tm_);
  }
  PassTestSite(const PassTestSite&) = delete;
  PassTestSite& operator=(const PassTestSite&) = delete;

  // The connection to "S"; not above 0 when it failed.
  std::int32_t tm() const { return tm_; }
  // The temporary directory: the site in it, and room for the test's own files.
  const TempDirectory& directory() const { return directory_; }
  const std::filesystem::path& path() const { return site_; }

  std::vector<JournalEntry> Journal() const {
    return ReadJournal(site_ / "tm" / "S" / "journal.tsv");
  }
  std::string Log(const std::string& name) const { return ReadFile(site_ / "log" / name); }

 private:
  TempDirectory directory_;
  std::filesystem::path site_;
  std::int32_t tm_ = 0;
};

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_POLLER_PASS_TEST_SITE_H_
