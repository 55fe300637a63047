// SPDX-License-Identifier: GPL-3.0-or-later
// Ravelkin's GNOME Shell extension: on the session bus as org.ravelkin.Shell, it tells the
// Ravelkin programs, and no other program, the windows in stacking order, raises the one a
// script names, and grabs the chord that stops a run while the run lasts. GNOME Shell shows
// no other client the windows' titles or places, nor lets one grab a key. It stays enabled
// while the screen is locked (session-modes in metadata.json): GNOME Shell would otherwise
// disable it there and enable it afresh after, and a run going on would lose its stop chord.
/* exported init */
'use strict';

const {Gio, GLib, Meta, Shell} = imports.gi;
const ExtensionUtils = imports.misc.extensionUtils;
const Main = imports.ui.main;

const BUS_NAME = 'org.ravelkin.Shell';
const OBJECT_PATH = '/org/ravelkin/Shell';
const INTERFACE = 'org.ravelkin.Shell1';
const VERSION = 1;
const STOP_CHORD = '<Control><Alt>End';

const INTERFACE_XML = `<node>
  <interface name="${INTERFACE}">
    <method name="Hello">
      <arg type="u" direction="out" name="version"/>
    </method>
    <method name="ListWindows">
      <!-- top first: id, title, frame x, y, width, height, minimised, visible -->
      <arg type="a(tsiiiibb)" direction="out" name="windows"/>
    </method>
    <method name="Activate">
      <arg type="t" direction="in" name="id"/>
    </method>
    <method name="GrabStopChord"/>
    <method name="ReleaseStopChord"/>
    <signal name="StopPressed"/>
  </interface>
</node>`;

// The programs that may ask, by their full paths: those the installation lists beside this
// file, one a line. A user who runs Ravelkin from elsewhere adds its path there.
function trustedPrograms(dir) {
    const programs = new Set();
    try {
        const [, bytes] = dir.get_child('programs').load_contents(null);
        for (const line of new TextDecoder().decode(bytes).split('\n')) {
            if (line.startsWith('/'))
                programs.add(line);
        }
    } catch (e) {
        logError(e, 'Ravelkin: no list of programs to answer');
    }
    return programs;
}

class RavelkinShell {
    constructor(programs) {
        this._programs = programs;
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
        this._action = Meta.KeyBindingAction.NONE;
        this._grabber = null;
        this._grabberWatch = 0;
        this._accelerator = global.display.connect('accelerator-activated',
            (display, action) => {
                if (action === this._action && this._grabber !== null) {
                    Gio.DBus.session.emit_signal(this._grabber, OBJECT_PATH, INTERFACE,
                        'StopPressed', null);
                }
            });
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    destroy() {
        this._release();
        global.display.disconnect(this._accelerator);
        Gio.bus_unown_name(this._name);
        this._object.unexport();
    }

    // Runs answer(sender) when the caller is one of our programs; refuses it otherwise. The
    // caller's executable, by its process id from the bus, is what tells.
    _checked(invocation, answer) {
        const sender = invocation.get_sender();
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetConnectionUnixProcessID',
            new GLib.Variant('(s)', [sender]), new GLib.VariantType('(u)'),
            Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
                let program = null;
                try {
                    const [pid] = connection.call_finish(result).deepUnpack();
                    program = GLib.file_read_link(`/proc/${pid}/exe`);
                } catch (e) {
                    program = null;
                }
                if (program === null || !this._programs.has(program)) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                        `${program ?? 'this program'} is not a Ravelkin program`);
                    return;
                }
                try {
                    answer(sender);
                } catch (e) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed',
                        String(e));
                }
            });
    }

    _windows() {
        const windows = global.get_window_actors()
            .map(actor => actor.get_meta_window())
            .filter(window => window && !window.is_override_redirect());
        // Bottom first from mutter; the list goes top first.
        return global.display.sort_windows_by_stacking(windows).reverse();
    }

    HelloAsync(params, invocation) {
        this._checked(invocation, () => {
            invocation.return_value(new GLib.Variant('(u)', [VERSION]));
        });
    }

    ListWindowsAsync(params, invocation) {
        this._checked(invocation, () => {
            const workspace = global.workspace_manager.get_active_workspace();
            const list = this._windows().map(window => {
                const frame = window.get_frame_rect();
                const shown = window.showing_on_its_workspace() &&
                    window.located_on_workspace(workspace);
                return [window.get_id(), window.get_title() ?? '', frame.x, frame.y,
                    frame.width, frame.height, window.minimized, shown];
            });
            invocation.return_value(new GLib.Variant('(a(tsiiiibb))', [list]));
        });
    }

    ActivateAsync([id], invocation) {
        this._checked(invocation, () => {
            const window = this._windows().find(w => w.get_id() === id);
            if (!window) {
                invocation.return_dbus_error(`${INTERFACE}.Error.NoSuchWindow`,
                    `no window ${id}`);
                return;
            }
            // Brings it to this workspace's view, unminimised, and leaves the overview.
            Main.activateWindow(window, global.get_current_time());
            invocation.return_value(null);
        });
    }

    GrabStopChordAsync(params, invocation) {
        this._checked(invocation, sender => {
            if (this._grabber === sender) {
                invocation.return_value(null);
                return;
            }
            if (this._grabber !== null) {
                invocation.return_dbus_error(`${INTERFACE}.Error.Busy`,
                    'another Ravelkin run holds the stop chord');
                return;
            }
            const action = global.display.grab_accelerator(STOP_CHORD, Meta.KeyBindingFlags.NONE);
            if (action === Meta.KeyBindingAction.NONE) {
                invocation.return_dbus_error(`${INTERFACE}.Error.ChordTaken`,
                    'Ctrl+Alt+End is another shortcut');
                return;
            }
            Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
                Shell.ActionMode.ALL);
            this._action = action;
            this._grabber = sender;
            // A run that ends without letting go, killed or crashed, still gives the chord back.
            this._grabberWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => this._release());
            invocation.return_value(null);
        });
    }

    ReleaseStopChordAsync(params, invocation) {
        this._checked(invocation, sender => {
            if (this._grabber === sender)
                this._release();
            invocation.return_value(null);
        });
    }

    _release() {
        if (this._grabberWatch) {
            Gio.bus_unwatch_name(this._grabberWatch);
            this._grabberWatch = 0;
        }
        if (this._action !== Meta.KeyBindingAction.NONE) {
            Main.wm.allowKeybinding(Meta.external_binding_name_for_action(this._action),
                Shell.ActionMode.NONE);
            global.display.ungrab_accelerator(this._action);
            this._action = Meta.KeyBindingAction.NONE;
        }
        this._grabber = null;
    }
}

class Extension {
    enable() {
        const dir = ExtensionUtils.getCurrentExtension().dir;
        this._shell = new RavelkinShell(trustedPrograms(dir));
    }

    disable() {
        this._shell?.destroy();
        this._shell = null;
    }
}

function init() {
    return new Extension();
}
