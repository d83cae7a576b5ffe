// Temporary definitions until the F24 page storing lands; removed by its author.
#include "engine/bvTel.h"
namespace quorvin {
bool bvTel::StorePagesF24(long&) { return false; }
bool bvTel::WriteFieldsF24Sing(const std::string&) { return false; }
bool bvTel::WriteFieldsF24EsitoSing(const std::string&) { return false; }
bool bvTel::FindOrigDoc(const std::string&, long, long, bool, bool& found, long) {
    found = false;
    return false;
}
} // namespace quorvin
