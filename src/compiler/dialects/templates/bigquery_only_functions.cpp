// The catalogue functions refused on the engines the project runs its SQL on.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

const std::string_view kFunctionsOnlyOnBigQuery = R"t(
AeadDecryptBytes AeadDecryptString AeadEncrypt ApproxTopCount ApproxTopSum CumeDist
DenseRank FarmFingerprint FirstValue FromProto
HllCountExtract HllCountInit HllCountMerge HllCountMergePartial KeysAddKeyFromRawBytes
KeysKeysetFromJson KeysKeysetLength KeysKeysetToJson KeysNewKeyset KeysRotateKeyset Lag LastValue
Lead NetFormatIp NetFormatPackedIp NetHost NetIpInNet NetIpNetMask
NetIpTrunc NetMakeNet NetParseIp NetParsePackedIp NetPublicSuffix
NetRegDomain NthValue Ntile
PercentRank ProtoDefaultIfNull Rank RowNumber SafeConvertBytesToString StAccum StArea StAsbinary
StAsgeojson StAskml StAstext StBoundary StBuffer StBufferwithtolerance StCentroid StCentroidAgg
StClosestpoint StContains StCoveredby StCovers StDifference StDimension StDisjoint StDistance
StDwithin StEquals StGeogfromgeojson StGeogfromkml StGeogfromtext StGeogfromwkb StGeogpoint
StGeogpointfromgeohash StGeohash StIntersection StIntersects StIntersectsbox StIscollection
StIsempty StLength StMakeline StMakepolygon StMakepolygonoriented StMaxdistance StNumpoints
StPerimeter StSimplify StSnaptogrid StTouches StUnaryunion StUnion StUnionAgg StWithin StX StY
ToProto
)t";

}  // namespace mirtova
