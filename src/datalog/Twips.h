#pragma once

// Sizes in the data windows are given in twips (1/1440 inch); on screen at 96 dots per inch.
constexpr int twipsToPixels(int twips)
{
    return twips * 96 / 1440;
}
