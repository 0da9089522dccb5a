// A small LV2 host for the tests: lilv loads the built bundle
// (build/qdx-zelvo.lv2) as a host does, maps URIs, instantiates the plug-in,
// connects its ports and runs it, applies presets and saves and restores its
// state through the state interface.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lv2/BundleIdentity.h"
#include "lv2/PortTable.h"

// URIs to numbers, as every host keeps them: one table per host.
class UridMap
{
public:
    UridMap()
    {
        map.handle = this;
        map.map = [](LV2_URID_Map_Handle handle, const char* uri) {
            return static_cast<UridMap*>(handle)->id(uri);
        };
        unmap.handle = this;
        unmap.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
            return static_cast<UridMap*>(handle)->uri(urid);
        };
        mapFeature = {LV2_URID__map, &map};
        unmapFeature = {LV2_URID__unmap, &unmap};
    }
    LV2_URID id(const char* uri)
    {
        auto found = ids.find(uri);
        if (found != ids.end())
            return found->second;
        uris.push_back(std::make_unique<std::string>(uri));
        return ids[uri] = static_cast<LV2_URID>(uris.size());
    }
    const char* uri(LV2_URID urid) const
    {
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1]->c_str() : nullptr;
    }

    LV2_URID_Map map;
    LV2_URID_Unmap unmap;
    LV2_Feature mapFeature;
    LV2_Feature unmapFeature;

private:
    std::map<std::string, LV2_URID> ids;
    std::vector<std::unique_ptr<std::string>> uris;
};

// The world with the built bundle loaded, shared by a test program.
class Lv2World
{
public:
    static Lv2World& instance()
    {
        static Lv2World world;
        return world;
    }
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    UridMap urids;

    LilvNode* node(const char* uri) { return lilv_new_uri(world, uri); }

    // The factory presets by label, each loaded.
    std::map<std::string, std::string> presets()
    {
        std::map<std::string, std::string> result;
        LilvNode* presetClass = node(LV2_PRESETS__Preset);
        LilvNode* label = node(LILV_NS_RDFS "label");
        LilvNodes* related = lilv_plugin_get_related(plugin, presetClass);
        LILV_FOREACH(nodes, i, related)
        {
            const LilvNode* preset = lilv_nodes_get(related, i);
            lilv_world_load_resource(world, preset);
            LilvNodes* labels = lilv_world_find_nodes(world, preset, label, nullptr);
            if (labels && lilv_nodes_size(labels) == 1)
                result[lilv_node_as_string(lilv_nodes_get_first(labels))] = lilv_node_as_uri(preset);
            lilv_nodes_free(labels);
        }
        lilv_nodes_free(related);
        lilv_node_free(label);
        lilv_node_free(presetClass);
        return result;
    }

private:
    Lv2World()
    {
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, ZELVO_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = node(lv2bundle::kPluginUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
};

// One instance of the plug-in with its ports connected to buffers of the
// host's: the controls, stereo audio in and out, the latency output.
class Lv2TestInstance
{
public:
    static constexpr int kMaxBlock = 4096;

    explicit Lv2TestInstance(double rate = 44100.0, bool withMap = true)
    {
        Lv2World& w = Lv2World::instance();
        const LV2_Feature* features[] = {&w.urids.mapFeature, &w.urids.unmapFeature, nullptr};
        const LV2_Feature* none[] = {nullptr};
        instance = lilv_plugin_instantiate(w.plugin, rate, withMap ? features : none);
        if (!instance)
            return;
        for (int i = 0; i < lv2port::kControlCount; ++i)
        {
            const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, i);
            LilvNode* def = nullptr;
            lilv_port_get_range(w.plugin, port, &def, nullptr, nullptr);
            controls[i] = def ? lilv_node_as_float(def) : 0.0f;
            lilv_node_free(def);
            lilv_instance_connect_port(instance, i, &controls[i]);
        }
        for (auto* buffer : {&inL, &inR, &outL, &outR})
            buffer->assign(kMaxBlock, 0.0f);
        lilv_instance_connect_port(instance, lv2port::kInputLeft, inL.data());
        lilv_instance_connect_port(instance, lv2port::kInputRight, inR.data());
        lilv_instance_connect_port(instance, lv2port::kOutputLeft, outL.data());
        lilv_instance_connect_port(instance, lv2port::kOutputRight, outR.data());
        lilv_instance_connect_port(instance, lv2port::kLatency, &latency);
        lilv_instance_activate(instance);
    }
    ~Lv2TestInstance()
    {
        if (instance)
        {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    Lv2TestInstance(const Lv2TestInstance&) = delete;
    Lv2TestInstance& operator=(const Lv2TestInstance&) = delete;

    // Processes the whole of the input in blocks, appending to the output.
    void process(const std::vector<float>& left, const std::vector<float>& right, std::vector<float>& resultL,
                 std::vector<float>& resultR, int block = 512)
    {
        for (size_t start = 0; start < left.size(); start += (size_t)block)
        {
            const size_t n = std::min((size_t)block, left.size() - start);
            std::copy(left.begin() + start, left.begin() + start + n, inL.begin());
            std::copy(right.begin() + start, right.begin() + start + n, inR.begin());
            lilv_instance_run(instance, (uint32_t)n);
            resultL.insert(resultL.end(), outL.begin(), outL.begin() + n);
            resultR.insert(resultR.end(), outR.begin(), outR.begin() + n);
        }
    }

    // Applies a preset as hosts do: lilv reads it and restores its port
    // values and its state into the instance.
    bool applyPreset(const std::string& uri)
    {
        Lv2World& w = Lv2World::instance();
        LilvNode* node = w.node(uri.c_str());
        LilvState* state = lilv_state_new_from_world(w.world, &w.urids.map, node);
        lilv_node_free(node);
        if (!state)
            return false;
        const LV2_Feature* features[] = {&w.urids.mapFeature, nullptr};
        lilv_state_restore(state, instance, &Lv2TestInstance::setPortValue, this, 0, features);
        lilv_state_free(state);
        return true;
    }

    const LV2_State_Interface* stateInterface()
    {
        return static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    }

    // The properties the plug-in saves, by key URI: type URI and bytes.
    struct Property
    {
        std::string type;
        std::vector<unsigned char> bytes;
        uint32_t flags;
    };
    std::map<std::string, Property> saveProperties()
    {
        std::map<std::string, Property> saved;
        const LV2_State_Interface* state = stateInterface();
        if (!state)
            return saved;
        state->save(lilv_instance_get_handle(instance), &Lv2TestInstance::store, &saved, LV2_STATE_IS_POD, nullptr);
        return saved;
    }
    // Restores the given properties; answers the plug-in's status.
    LV2_State_Status restoreProperties(std::map<std::string, Property>& properties)
    {
        const LV2_State_Interface* state = stateInterface();
        if (!state)
            return LV2_STATE_ERR_NO_FEATURE;
        return state->restore(lilv_instance_get_handle(instance), &Lv2TestInstance::retrieve, &properties, 0, nullptr);
    }

    // The state as lilv saves it and writes it to Turtle.
    std::string saveStateAsTurtle()
    {
        Lv2World& w = Lv2World::instance();
        const LV2_Feature* features[] = {&w.urids.mapFeature, nullptr};
        LilvState* state = lilv_state_new_from_instance(w.plugin, instance, &w.urids.map, nullptr, nullptr, nullptr,
                                                        nullptr, &Lv2TestInstance::getPortValue, this, 0, features);
        if (!state)
            return "";
        char* text = lilv_state_to_string(w.world, &w.urids.map, &w.urids.unmap, state, "urn:test:state", nullptr);
        std::string result = text ? text : "";
        lilv_free(text);
        lilv_state_free(state);
        return result;
    }
    bool restoreStateFromTurtle(const std::string& text)
    {
        Lv2World& w = Lv2World::instance();
        LilvState* state = lilv_state_new_from_string(w.world, &w.urids.map, text.c_str());
        if (!state)
            return false;
        const LV2_Feature* features[] = {&w.urids.mapFeature, nullptr};
        lilv_state_restore(state, instance, &Lv2TestInstance::setPortValue, this, 0, features);
        lilv_state_free(state);
        return true;
    }

    LilvInstance* instance = nullptr;
    float controls[lv2port::kControlCount] = {};
    float latency = -1.0f;
    std::vector<float> inL, inR, outL, outR;

private:
    static int portIndex(const char* symbol)
    {
        for (int i = 0; i < lv2port::kControlCount; ++i)
            if (std::strcmp(lv2port::kSymbols[i], symbol) == 0)
                return i;
        return -1;
    }
    static void setPortValue(const char* symbol, void* self, const void* value, uint32_t size, uint32_t type)
    {
        auto* host = static_cast<Lv2TestInstance*>(self);
        const int index = portIndex(symbol);
        LV2_URID floatType = Lv2World::instance().urids.id(LV2_ATOM__Float);
        if (index >= 0 && size == sizeof(float) && type == floatType)
            std::memcpy(&host->controls[index], value, sizeof(float));
        else
            ADD_FAILURE() << "preset port " << symbol << " not set";
    }
    static const void* getPortValue(const char* symbol, void* self, uint32_t* size, uint32_t* type)
    {
        auto* host = static_cast<Lv2TestInstance*>(self);
        const int index = portIndex(symbol);
        if (index < 0)
        {
            *size = 0;
            return nullptr;
        }
        *size = sizeof(float);
        *type = Lv2World::instance().urids.id(LV2_ATOM__Float);
        return &host->controls[index];
    }
    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t flags)
    {
        auto* saved = static_cast<std::map<std::string, Property>*>(handle);
        UridMap& urids = Lv2World::instance().urids;
        const auto* bytes = static_cast<const unsigned char*>(value);
        (*saved)[urids.uri(key)] = Property{urids.uri(type), std::vector<unsigned char>(bytes, bytes + size), flags};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        auto* properties = static_cast<std::map<std::string, Property>*>(handle);
        UridMap& urids = Lv2World::instance().urids;
        auto found = properties->find(urids.uri(key));
        if (found == properties->end())
            return nullptr;
        *size = found->second.bytes.size();
        *type = urids.id(found->second.type.c_str());
        *flags = found->second.flags;
        return found->second.bytes.data();
    }
};
