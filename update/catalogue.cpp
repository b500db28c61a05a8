#include "update/catalogue.h"

namespace {

const PayloadEntry kRows[] = {
#include "payload_rows.inc"
};

static_assert(sizeof kRows / sizeof kRows[0] == PayloadCatalogue::kRowCount,
              "the table and its row count must come from the same catalogue");

}  // namespace

const PayloadEntry& PayloadCatalogue::Row(int number) {
    return kRows[number - 1];
}

bool PayloadCatalogue::Applies(const PayloadEntry& row, bool wow64, bool companionRefreshed) {
    switch (row.condition) {
    case PayloadCondition::Always: return true;
    case PayloadCondition::Wow64Only: return wow64;
    case PayloadCondition::Native32Only: return !wow64;
    case PayloadCondition::CompanionRefreshed: return companionRefreshed;
    }
    return false;
}
