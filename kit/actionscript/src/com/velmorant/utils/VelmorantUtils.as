package com.velmorant.utils
{
    import flash.desktop.NativeApplication;
    import flash.display.Screen;
    import flash.display.ScreenMode;
    import flash.events.Event;
    import flash.external.ExtensionContext;

    /**
     * Changes the Windows keyboard repeat speed and the screen mode for an AIR
     * application through the VelmorantUtils native extension, and puts them
     * back.
     *
     * <p>There is one shared object, VelmorantUtils.instance, opened on first
     * use; dispose() releases it, and the next use of instance opens a fresh
     * one. isSupported is static too.</p>
     *
     * <p>When the application exits on its own (NativeApplication's exiting
     * event, not cancelled), the screen mode is put back unless
     * restoreScreenOnExit is false, and the keyboard speed only when
     * restoreKeyboardOnExit is true; each only when it was changed through
     * this object and not restored since. dispose() restores nothing.</p>
     *
     * <p>Windows drops a temporary switch when the desktop switches (a UAC
     * prompt, a locked screen) and does not apply it again. So when the
     * application is activated (NativeApplication's activate event) after a
     * temporary switch that Windows accepted, the last one made through this
     * object and not restored since, the same switch is made again, unless
     * reapplyOnActivate is false.</p>
     *
     * <p>No method throws. Without the native extension (missing from the
     * application descriptor, or a DLL that fails to load) isSupported is
     * false, every method does nothing, setScreenResolution() returns false
     * and screenSizes is empty.</p>
     */
    public class VelmorantUtils
    {
        /** The id in extension.xml, and what the application descriptor names. */
        public static const EXTENSION_ID:String = "com.velmorant.VelmorantUtils";

        /** The version of the extension this class belongs to. */
        public static const VERSION:String = CONFIG::VERSION;

        // The names in the native library's function table. A name the library
        // does not hand out makes ExtensionContext.call() throw at run time, so
        // they are kept in one place.
        private static const SET_KEYBOARD_SPEED:String = "as_setKeyboardSpeed";
        private static const RESTORE_KEYBOARD_SPEED:String = "as_restoreKeyboardSpeed";
        private static const SET_SCREEN_RESOLUTION:String = "as_setScreenResolution";
        private static const RESTORE_SCREEN_RESOLUTION:String = "as_restoreScreenResolution";

        // Below the default priority of 0, so that an application's own exiting
        // listener has had its chance to cancel the exit before this one looks,
        // and its own activate listener runs before the switch is made again.
        private static const LISTENER_PRIORITY:int = -1000;

        // screenSizes' order, for its width and then its height: largest first, compared as numbers.
        private static const LARGEST_FIRST:int = Array.NUMERIC | Array.DESCENDING;

        private static var shared:VelmorantUtils;

        // True only while instance builds the shared object: a second object
        // would open a second context that could restore over the first.
        private static var opening:Boolean = false;

        private var context:ExtensionContext;

        // What the exit listener has to put back: a switch that Windows
        // accepted, a keyboard speed set, either not restored since. The
        // library's restore applies what it captured before the first change,
        // so restoring again would undo a mode or speed the user chose after
        // the application's own restore.
        private var screenOutstanding:Boolean = false;
        private var keyboardOutstanding:Boolean = false;

        // The size of the last switch, and whether it was temporary, accepted
        // and not restored since: then activate makes it again.
        private var temporaryWidth:int = 0;
        private var temporaryHeight:int = 0;
        private var temporaryOutstanding:Boolean = false;

        /** Put the screen mode back when the application exits. On by default. */
        public var restoreScreenOnExit:Boolean = true;

        /**
         * Put the keyboard speed back when the application exits. Off by
         * default: the speed is a stored setting that the user may mean to keep.
         */
        public var restoreKeyboardOnExit:Boolean = false;

        /**
         * Make an outstanding temporary switch again when the application is
         * activated, after Windows dropped it at a desktop switch. On by
         * default.
         */
        public var reapplyOnActivate:Boolean = true;

        /** Not for applications, which use VelmorantUtils.instance: throws elsewhere. */
        public function VelmorantUtils()
        {
            if (!opening)
                throw new Error("VelmorantUtils has one shared object: use VelmorantUtils.instance");
            context = openWorkingContext();
            if (context == null)
                return;
            NativeApplication.nativeApplication.addEventListener(Event.EXITING, restoreOnExit, false, LISTENER_PRIORITY);
            NativeApplication.nativeApplication.addEventListener(Event.ACTIVATE, reapplyOnActivation, false,
                                                                 LISTENER_PRIORITY);
        }

        /** The shared object, opened on first use and again after dispose(). */
        public static function get instance():VelmorantUtils
        {
            if (shared != null)
                return shared;
            opening = true;
            try
            {
                shared = new VelmorantUtils();
            }
            finally
            {
                opening = false;
            }
            return shared;
        }

        /**
         * Whether the native library is loaded and answering. Opens the shared
         * object if none is open.
         */
        public static function get isSupported():Boolean
        {
            return instance.context != null;
        }

        /**
         * A context whose native library is really there, or null. Without the
         * extension in the application, createExtensionContext returns null.
         * A DLL that is found but fails to load shows in one of two ways, and
         * both happen: createExtensionContext throws, or it hands out a
         * context whose first call throws (error #3500). So one call is made
         * that the library documents as doing nothing: as_setScreenResolution
         * with no arguments returns null, makes no system call and captures
         * nothing. Each way ends in null, and the application still starts,
         * only without the feature.
         */
        private static function openWorkingContext():ExtensionContext
        {
            var opened:ExtensionContext;
            try
            {
                opened = ExtensionContext.createExtensionContext(EXTENSION_ID, "");
                if (opened == null)
                    return null;
                opened.call(SET_SCREEN_RESOLUTION);
                return opened;
            }
            catch (error:Error)
            {
            }
            if (opened != null)
                release(opened);
            return null;
        }

        private static function release(context:ExtensionContext):void
        {
            try
            {
                context.dispose();
            }
            catch (error:Error)
            {
            }
        }

        /**
         * The screen sizes that setScreenResolution() can switch to now: an
         * Array of Objects, each with width and height (int), each size once,
         * largest first (by width, then by height), as an options menu offers
         * them.
         *
         * <p>A switch keeps the current colour depth and refresh rate, and
         * Windows refuses a size that the display has only at another rate or
         * depth. So the list holds the sizes of the main screen's modes (the
         * runtime's Screen.mainScreen, the display the switch changes) that
         * have the current mode's depth and rate. When the current mode's
         * rate is 0, which the runtime reports when the display reports none,
         * every rate is taken: see matchesRate().</p>
         *
         * <p>It is read from the runtime each time: a switch changes the
         * current mode, and the user may change the display at any time. It
         * is empty, never null, when the runtime gives no current mode or no
         * modes (null, empty or an error), and without the native
         * extension.</p>
         */
        public function get screenSizes():Array
        {
            if (context == null)
                return [];
            try
            {
                return sizesReachableFrom(Screen.mainScreen);
            }
            catch (error:Error)
            {
            }
            return [];
        }

        // Throws when the runtime does, or when it hands out no screen or a null mode in the list.
        private static function sizesReachableFrom(screen:Screen):Array
        {
            var current:ScreenMode = screen.mode;
            var modes:Array = screen.modes;
            if (current == null || modes == null)
                return [];
            var sizes:Array = [];
            var listed:Object = {};
            for each (var mode:ScreenMode in modes)
            {
                if (mode.colorDepth != current.colorDepth || !matchesRate(mode.refreshRate, current.refreshRate))
                    continue;
                var size:String = mode.width + "x" + mode.height;
                if (listed[size])
                    continue;
                listed[size] = true;
                sizes.push({ width: mode.width, height: mode.height });
            }
            sizes.sortOn(["width", "height"], [LARGEST_FIRST, LARGEST_FIRST]);
            return sizes;
        }

        // The switch asks Windows for the current mode's rate as Windows
        // reported it. A current rate of 0 (the runtime's "none reported"), or
        // 1, is what Windows reports for the display hardware's default rate,
        // and asking for it leaves the rate to the display: so any rate is
        // taken, and a display that reports no rates still offers its sizes.
        // Otherwise only the same rate is: a mode listed without a rate is not
        // known to have the one the switch asks for.
        private static function matchesRate(rate:int, currentRate:int):Boolean
        {
            return currentRate <= 1 || rate == currentRate;
        }

        /**
         * Switches the screen to width x height.
         *
         * <p>A temporary switch, the default, is one that Windows undoes by
         * itself: it drops the mode when the desktop switches (a UAC prompt,
         * a locked screen) without applying it again, and, as observed
         * though not documented, puts the stored mode back when the
         * application's process ends, however it ends. This object makes it
         * again when the application is activated (see reapplyOnActivate).
         * With temporary false the mode lasts until it is restored or the user
         * signs out.</p>
         *
         * @return true when the system accepted the mode; false when it
         * refused it, when the current mode could not be read, or without the
         * native extension.
         */
        public function setScreenResolution(width:int, height:int, temporary:Boolean = true):Boolean
        {
            if (context == null)
                return false;
            try
            {
                // The library answers null, not false, when it could not even
                // read the current mode; both mean the screen did not change.
                // It takes the third argument as an integer, not a Boolean.
                var accepted:Boolean = context.call(SET_SCREEN_RESOLUTION, width, height, temporary ? 1 : 0) === true;
                if (accepted)
                    screenOutstanding = true;
                temporaryOutstanding = accepted && temporary;
                temporaryWidth = width;
                temporaryHeight = height;
                return accepted;
            }
            catch (error:Error)
            {
            }
            temporaryOutstanding = false;
            return false;
        }

        /** Puts the screen mode back to what it was before setScreenResolution() changed it. */
        public function restoreScreenResolution():void
        {
            if (context == null)
                return;
            try
            {
                context.call(RESTORE_SCREEN_RESOLUTION);
                screenOutstanding = false;
                temporaryOutstanding = false;
            }
            catch (error:Error)
            {
            }
        }

        /** Sets the keyboard repeat speed, in the system's own units. */
        public function setKeyboardSpeed(speed:int):void
        {
            if (context == null)
                return;
            try
            {
                context.call(SET_KEYBOARD_SPEED, speed);
                keyboardOutstanding = true;
            }
            catch (error:Error)
            {
            }
        }

        /** Puts the keyboard repeat speed back to what it was before setKeyboardSpeed() changed it. */
        public function restoreKeyboardSpeed():void
        {
            if (context == null)
                return;
            try
            {
                context.call(RESTORE_KEYBOARD_SPEED);
                keyboardOutstanding = false;
            }
            catch (error:Error)
            {
            }
        }

        /**
         * Releases the native context and the shared object: the next use of
         * instance opens a fresh one. It restores nothing, now or on exit: call
         * the restore methods first. Every method of this object afterwards
         * does nothing.
         */
        public function dispose():void
        {
            if (shared == this)
                shared = null;
            if (context == null)
                return;
            NativeApplication.nativeApplication.removeEventListener(Event.EXITING, restoreOnExit);
            NativeApplication.nativeApplication.removeEventListener(Event.ACTIVATE, reapplyOnActivation);
            // Forget the context before disposing it, so that a second
            // dispose() cannot reach the runtime even if this one throws.
            var disposing:ExtensionContext = context;
            context = null;
            release(disposing);
        }

        // The runtime dispatches exiting when the application is about to quit
        // on its own; a listener may still cancel it, and then the application
        // goes on with its screen as it is.
        private function restoreOnExit(event:Event):void
        {
            if (event.isDefaultPrevented())
                return;
            if (restoreScreenOnExit && screenOutstanding)
                restoreScreenResolution();
            if (restoreKeyboardOnExit && keyboardOutstanding)
                restoreKeyboardSpeed();
        }

        // The same temporary switch again, which Windows may have dropped while
        // the application was in the background. Its answer changes nothing
        // here: a refusal leaves the next activation to try again, and the exit
        // restore as it was.
        private function reapplyOnActivation(event:Event):void
        {
            if (!reapplyOnActivate || !temporaryOutstanding || context == null)
                return;
            try
            {
                context.call(SET_SCREEN_RESOLUTION, temporaryWidth, temporaryHeight, 1);
            }
            catch (error:Error)
            {
            }
        }
    }
}
