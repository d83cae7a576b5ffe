// Temporary definitions until the writers land; removed by their author.
#include "engine/bvTel.h"
namespace quorvin {
bool bvTel::FindInfoDocInSummary(long, const std::string&, const std::string&,
                                 std::vector<std::string>&) {
    return false;
}
bool bvTel::GetInfoDocFromSummary(long, std::vector<std::string>&) { return false; }
bool bvTel::FindNumDocInSummary(long&, long&) { return false; }
long bvTel::FindPageIndex(long start, const std::string&, bool) const { return start; }
bool bvTel::WriteFieldsModelli(const std::string&) { return false; }
bool bvTel::WriteSummaryFields(const std::string&) { return false; }
} // namespace quorvin
