// Cards in the layout the file system wrote before the card information structure: the CIS
// block left erased, and a write generation (u16 generation, u16 its complement) in spare
// bytes 0 to 3 of every page that carries a zone address. For tests and fuzz targets of
// reading such cards.
#pragma once

#include <algorithm>
#include <cstdint>

#include "card_service/spare_area.h"
#include "card_service/standard_layer.h"
#include "tests/card_service/memory_card.h"

namespace kestra::card::testing {

inline void ToEarlierLayout(MemoryCard& card, std::uint16_t generation) {
    const auto cis = FindCis(card);
    const CardGeometry geometry = card.geometry();
    const std::uint16_t complement = static_cast<std::uint16_t>(~generation);
    const std::uint8_t mark[4] = {
        static_cast<std::uint8_t>(generation), static_cast<std::uint8_t>(generation >> 8),
        static_cast<std::uint8_t>(complement), static_cast<std::uint8_t>(complement >> 8)};
    for (unsigned row = 0; row < geometry.pages(); ++row) {
        std::uint8_t* page = card.page(row);
        if (cis && row / geometry.pagesPerBlock == cis->block) {
            std::fill_n(page, kRawPage, 0xFF);
            continue;
        }
        if (!ReadLabel(ConstRawPage(page, kRawPage)).zoneAddress) continue;
        std::copy(std::begin(mark), std::end(mark), page + kPageData);
    }
}

}  // namespace kestra::card::testing
