// Everything the tracker knows without a display: node table, settings, setup files and output.
#pragma once

#include <string>
#include <vector>

#include "halvex/config/io_definitions.h"
#include "halvex/config/map_graphics.h"
#include "halvex/config/master_config.h"
#include "halvex/config/node_graphics.h"
#include "halvex/core/tracker_defaults.h"
#include "halvex/engine/data_set_model.h"
#include "halvex/engine/data_set_watch.h"
#include "halvex/streams/input_port_set.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/fix_listener.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/node_trail.h"
#include "halvex/tracking/tracking_settings.h"

/// The tracker's model, owned by the main window (or run alone by a headless tracker): the node
/// table with the multicast input ports that feed it, settings and setup files. Loading a
/// master configuration file reads the files it names in order; the windows learn what changed
/// through the listener and read the new values from here.
class TrackerModel {
 public:
  /// Told what a load changed, so that windows and the engine can follow.
  class Listener {
   public:
    virtual ~Listener() = default;
    /// A node list was read: the target, chase and close-vehicle choices need refilling.
    virtual void nodeListRead() {}
    /// A multicast port file was loaded into the input ports.
    virtual void portFileNamed(const std::string& /*path*/) {}
    /// A preferences file was read into the tracking settings.
    virtual void preferencesRead() {}
    /// An input/output definitions file was read.
    virtual void ioDefinitionsRead() {}
    /// The whole master file was read: the seven paths are final and the rates need recomputing.
    virtual void configurationLoaded() {}
  };

  static constexpr int kInitialBufferBytes =
      tracker_defaults::kBufferBytes;  ///< Receive buffer size at construction.
  static constexpr int kInitialBuffersPerPort =
      tracker_defaults::kBuffersPerPort;  ///< Receive buffers per port at construction.
  static constexpr double kInitialMediumIdle =
      tracker_defaults::kStartMediumIdle;  ///< Idle threshold pushed at construction, s.
  static constexpr double kInitialBadIdle =
      tracker_defaults::kStartBadIdle;  ///< Lost threshold pushed at construction, s.

  TrackerModel();
  TrackerModel(const TrackerModel&) = delete;
  TrackerModel& operator=(const TrackerModel&) = delete;
  virtual ~TrackerModel() = default;

  /// Sets the listener told of changes (null for none); the model does not own it.
  void setListener(Listener* listener) { listener_ = listener; }

  /// Reads the master configuration file and, line by line, the file each key names; then
  /// attaches the node graphics to their nodes.
  void loadConfiguration(const std::string& path);

  /// The reader of each master key.
  void readNodeList(const std::string& path);
  void readPortFile(const std::string& path);
  void readNodeGraphics(const std::string& path);
  void readIoDefinitions(const std::string& path);
  void readMapGraphics(const std::string& path);
  void readPreferences(const std::string& path);

  /// Gives every node the individual graphics definition of its id, or none.
  void attachNodeGraphics();

  /// One label per node in position order, "%03d: %s" with id and name, for the target and chase
  /// choices.
  std::vector<std::string> nodeChoiceLabels() const;
  /// The close-vehicle choice: "NONE", then "1" to "9".
  static std::vector<std::string> closeChoiceLabels();
  /// Position of the node with `id` in the choices, or -1 when no node has it.
  int choiceIndexOf(int id) const;

  NodeTable& nodes() { return nodes_; }
  const NodeTable& nodes() const { return nodes_; }
  /// The multicast input ports that feed the node table.
  InputPortSet& ports() { return ports_; }
  const InputPortSet& ports() const { return ports_; }
  TrackingSettings& settings() { return settings_; }
  const TrackingSettings& settings() const { return settings_; }
  const IoDefinitions& ioDefinitions() const { return io_; }
  IoDefinitions& ioDefinitions() { return io_; }
  const NodeGraphics& nodeGraphics() const { return nodeGraphics_; }
  const MapGraphics& mapGraphics() const { return mapGraphics_; }
  const MasterPaths& paths() const { return paths_; }
  /// Every fix the inputs apply goes here: the trails first, then whoever else is added.
  FixFanout& fixes() { return fixes_; }
  /// Each node's recent track.
  TrailStore& trails() { return trails_; }
  const TrailStore& trails() const { return trails_; }
  StateOutput& stateOutput() { return stateOutput_; }
  const StateOutput& stateOutput() const { return stateOutput_; }
  /// The project's CSV data set as the view shows it.
  DataSetModel& dataSet() { return dataSet_; }
  const DataSetModel& dataSet() const { return dataSet_; }
  /// Reads the project's CSV data set off the GUI thread, again whenever the file changes.
  DataSetWatch& dataSetWatch() { return dataSetWatch_; }
  const DataSetWatch& dataSetWatch() const { return dataSetWatch_; }

 private:
  FixFanout fixes_;    ///< Before the table, which tells it of fixes.
  TrailStore trails_;  ///< Listens to fixes_.
  NodeTable nodes_;
  InputPortSet ports_;  ///< After the table: the receivers stop before the table goes.
  TrackingSettings settings_;
  IoDefinitions io_;
  NodeGraphics nodeGraphics_;
  MapGraphics mapGraphics_;
  MasterPaths paths_;
  StateOutput stateOutput_;
  DataSetModel dataSet_;
  DataSetWatch dataSetWatch_;
  Listener* listener_ = nullptr;
};
