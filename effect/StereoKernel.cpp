#include "StereoKernel.h"

#include "StereoPipeline.h"

void processStereoBlock(StereoSections& s, const float& enableDifVlf, const float& enableSumShelf, const float* inLeft,
                        const float* inRight, float* outLeft, float* outRight, std::int32_t frames) {
    processStereoBlockWith<RelaxedReading>(s, enableDifVlf, enableSumShelf, inLeft, inRight, outLeft, outRight, frames);
}
