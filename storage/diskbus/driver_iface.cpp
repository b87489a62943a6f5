#include "driver_iface.h"

#include "diskbus_types.h"

#include <sandbox_path.h>

#include <cstring>

CDriverIFace::CDriverIFace(const qv::devsock::NodeRequestCodec& codec) : codec_(codec) {}

CDriverIFace::~CDriverIFace() { Close(); }

uint32_t CDriverIFace::Open(const char* path, int /*mode*/) {
    Close();
    std::strncpy(szDriver, path, sizeof szDriver - 1);
    szDriver[sizeof szDriver - 1] = '\0';
    auto channel = qv::devsock::channelForNode(qv::sandboxPath(path), codec_);
    if (int error = channel->open(qv::sandboxPath(path)); error != 0)
        return static_cast<uint32_t>(error);
    channel_ = std::move(channel);
    return 0;
}

uint32_t CDriverIFace::Close() {
    if (!channel_)
        return 0;
    const int error = channel_->close();
    channel_.reset();
    return static_cast<uint32_t>(error);
}

uint32_t CDriverIFace::Exchange(const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
    if (!channel_)
        return ERR_DEVICE_NOT_FOUND;
    return static_cast<uint32_t>(channel_->exchange(request, reply));
}
