#include "dnssd_announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <cstdio>

#include "network/wire.h"

namespace vornisel::server {

struct DnsSdAnnouncer::State {
    std::string name;
    uint16_t port = 0;
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
};

namespace {

using State = DnsSdAnnouncer::State;

void say(const std::string& what, int error) {
    std::fprintf(stderr, "vornisel-server: DNS-SD: %s (%s)\n", what.c_str(), avahi_strerror(error));
}

void publish(State& state, AvahiClient* client);

void groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState status, void* data) {
    auto& state = *static_cast<State*>(data);
    if (status == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        std::fprintf(stderr, "vornisel-server: announced as \"%s\"\n", state.name.c_str());
    } else if (status == AVAHI_ENTRY_GROUP_COLLISION) {
        // Another server on the network has the name: take the next one Avahi suggests.
        char* next = avahi_alternative_service_name(state.name.c_str());
        state.name = next;
        avahi_free(next);
        avahi_entry_group_reset(group);
        publish(state, avahi_entry_group_get_client(group));
    } else if (status == AVAHI_ENTRY_GROUP_FAILURE) {
        say("announcement failed", avahi_client_errno(avahi_entry_group_get_client(group)));
    }
}

void publish(State& state, AvahiClient* client) {
    if (state.group == nullptr) state.group = avahi_entry_group_new(client, groupChanged, &state);
    if (state.group == nullptr) return say("cannot announce", avahi_client_errno(client));
    if (!avahi_entry_group_is_empty(state.group)) return;
    int error = avahi_entry_group_add_service(
        state.group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
        state.name.c_str(), wire::kServiceType, nullptr, nullptr, state.port, "version=1", nullptr);
    if (error == 0) error = avahi_entry_group_commit(state.group);
    if (error != 0) say("cannot announce", error);
}

void clientChanged(AvahiClient* client, AvahiClientState status, void* data) {
    auto& state = *static_cast<State*>(data);
    switch (status) {
        case AVAHI_CLIENT_S_RUNNING:
            publish(state, client);
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            if (state.group != nullptr) avahi_entry_group_reset(state.group);
            break;
        case AVAHI_CLIENT_CONNECTING:
            std::fprintf(stderr,
                         "vornisel-server: no Avahi daemon yet; engines can still find "
                         "this server by broadcast\n");
            break;
        case AVAHI_CLIENT_FAILURE:
            say("stopped announcing", avahi_client_errno(client));
            break;
    }
}

}  // namespace

DnsSdAnnouncer::DnsSdAnnouncer(std::string name, uint16_t port)
    : state_(std::make_unique<State>()) {
    state_->name = std::move(name);
    state_->port = port;
    state_->poll = avahi_threaded_poll_new();
    if (state_->poll == nullptr) return;
    int error = 0;
    state_->client = avahi_client_new(avahi_threaded_poll_get(state_->poll), AVAHI_CLIENT_NO_FAIL,
                                      clientChanged, state_.get(), &error);
    if (state_->client == nullptr) {
        say("not announcing; engines can still find this server by broadcast", error);
        return;
    }
    avahi_threaded_poll_start(state_->poll);
}

DnsSdAnnouncer::~DnsSdAnnouncer() {
    if (state_->poll != nullptr) avahi_threaded_poll_stop(state_->poll);
    // Freeing the client withdraws the announcement and frees its entry group.
    if (state_->client != nullptr) avahi_client_free(state_->client);
    if (state_->poll != nullptr) avahi_threaded_poll_free(state_->poll);
}

}  // namespace vornisel::server
