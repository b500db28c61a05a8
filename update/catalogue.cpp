#include "update/catalogue.h"

namespace {

const PayloadEntry kRows[] = {
#include "payload_rows.inc"
};

static_assert(sizeof kRows / sizeof kRows[0] == PayloadCatalogue::kRowCount,
              "payload/catalogue.tsv must hold every payload row");

}  // namespace

const PayloadEntry& PayloadCatalogue::Row(int number) {
    return kRows[number - 1];
}
