#include "voice/join_params.h"

std::unique_ptr<JoinParams> MakeJoinParams(const JoinTextFields& fields) {
  std::unique_ptr<JoinParams> params(new JoinParams);
  params->cid = fields.cid;
  params->uid = fields.uid;
  params->key = fields.channelKeyUtf8;
  return params;
}
