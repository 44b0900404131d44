#pragma once

// What the host tests share: the built bundle loaded through JUCE's VST3 hosting, and the message loop.

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <string>

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;

// Why the editor tests cannot run (no X server), or empty.
inline std::string noDisplay;

inline void pump(int ms) { juce::MessageManager::getInstance()->runDispatchLoopUntil(ms); }

inline std::unique_ptr<juce::AudioPluginInstance> load(juce::PluginDescription* described = nullptr) {
  juce::VST3PluginFormat format;
  juce::OwnedArray<juce::PluginDescription> types;
  format.findAllTypesForFile(types, VANTOREL_BUNDLE);
  EXPECT_EQ(types.size(), 1);
  if (types.isEmpty()) return nullptr;
  if (described) *described = *types[0];
  juce::String error;
  auto plugin = format.createInstanceFromDescription(*types[0], kRate, kBlock, error);
  EXPECT_NE(plugin, nullptr) << error;
  return plugin;
}

