// The deme record.

#include "coalescent/deme.h"

TDeme::TDeme()
    : size(0),
      sampleSize(0),
      numLineages(0),
      numIncoming(0),
      coalRate(0.0f),
      idum(1),
      cellIndex(-1),
      layer(0),
      listIndex(-1),
      cell(nullptr),
      lineages(false),
      sampleNodes(false),
      incoming(false),
      locusData(-1, 10),
      history(nullptr),
      numMergedSamples(0),
      queuedAsNew_(false) {}

TDeme::~TDeme() = default;
