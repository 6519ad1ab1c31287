"""Blender's UI (under Xvfb, with --enable-event-simulate): a pick under way
is abandoned by Esc and by a right click, as the pick button's modal part
sees them. Prints one line per event for test_addon.py:
"abandoned ESC: pending False, band (0, 0)"."""

import bpy

EVENTS = ["ESC", "RIGHTMOUSE"]


def window():
    return bpy.context.window_manager.windows[0]


def start_pick():
    props = bpy.context.scene.selvo
    props.range_from[2] = props.range_to[2] = 0
    with bpy.context.temp_override(window=window(), area=window().screen.areas[0]):
        bpy.ops.selvo.grid_click(index=7)
        bpy.ops.selvo.pick("INVOKE_DEFAULT", id=2)
    window().event_simulate(type=EVENTS[0], value="PRESS")
    bpy.app.timers.register(after_event, first_interval=1)


def after_event():
    props, pick = bpy.context.scene.selvo, bpy.context.window_manager.selvo_pick
    print(f"abandoned {EVENTS.pop(0)}: pending {pick.pending}, "
          f"band {(props.range_from[2], props.range_to[2])}", flush=True)
    # The next click on a cell is an anchor again, not the pick's end.
    bpy.ops.selvo.grid_click(index=9)
    if EVENTS:
        bpy.app.timers.register(start_pick, first_interval=0.5)
    else:
        print(f"then a click sets the anchor: {pick.anchor}, band "
              f"{(props.range_from[2], props.range_to[2])}", flush=True)
        bpy.ops.wm.quit_blender()


bpy.app.timers.register(start_pick, first_interval=3)
