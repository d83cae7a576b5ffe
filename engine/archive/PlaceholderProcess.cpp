// Temporary definitions until the archiving side lands; removed by its author.
#include "engine/bvTel.h"
namespace quorvin {
bool bvTel::Process() { return false; }
bool bvTel::ProcessSingleFile() { return false; }
bool bvTel::SelectArchive(long, std::string&, long) { return false; }
bool bvTel::CheckPermissions(const std::string&) { return false; }
bool bvTel::FindTelDoc(long, std::string&, std::vector<long>&, std::vector<long>&) { return false; }
bool bvTel::DocLinkCreate(const std::string&, long, const std::string&, long) { return false; }
bool bvTel::DocLinkCreate(const std::string&, const std::vector<long>&, const std::string&, long) {
    return false;
}
bool bvTel::StoreFile() { return false; }
void bvTel::m_cJob_OnJob(bool& ok) { ok = false; }
void bvTel::m_cJob_OnStatus(long) {}
} // namespace quorvin
