package com.velmorant.utils
{
    import flash.external.ExtensionContext;

    /**
     * Changes the Windows keyboard repeat speed and the screen mode for an AIR
     * application through the VelmorantUtils native extension, and puts them
     * back.
     *
     * <p>Nothing is put back on its own: dispose() restores neither the
     * keyboard speed nor the screen mode, so call restoreKeyboardSpeed() and
     * restoreScreenResolution() before disposing or leaving.</p>
     *
     * <p>No method throws. Without the native extension (missing from the
     * application descriptor, or a DLL that fails to load) isSupported is
     * false, every method does nothing and setScreenResolution() returns
     * false.</p>
     */
    public class VelmorantUtils
    {
        /** The id in extension.xml, and what the application descriptor names. */
        public static const EXTENSION_ID:String = "com.velmorant.VelmorantUtils";

        // The names in the native library's function table. A name the library
        // does not hand out makes ExtensionContext.call() throw at run time, so
        // they are kept in one place.
        private static const SET_KEYBOARD_SPEED:String = "as_setKeyboardSpeed";
        private static const RESTORE_KEYBOARD_SPEED:String = "as_restoreKeyboardSpeed";
        private static const SET_SCREEN_RESOLUTION:String = "as_setScreenResolution";
        private static const RESTORE_SCREEN_RESOLUTION:String = "as_restoreScreenResolution";

        private var context:ExtensionContext;

        /**
         * @param contextType passed to the native library as the context type;
         * every type gets the same functions.
         */
        public function VelmorantUtils(contextType:String = "")
        {
            try
            {
                context = ExtensionContext.createExtensionContext(EXTENSION_ID, contextType);
            }
            catch (error:Error)
            {
                // The runtime throws rather than returning null when, for one,
                // the native library is there but fails to load. An application
                // should still start, only without the feature.
                context = null;
            }
        }

        /** Whether the native extension is there to do the work. */
        public function get isSupported():Boolean
        {
            return context != null;
        }

        /**
         * Switches the screen to width x height.
         *
         * @return true when the system accepted the mode; false when it
         * refused it, when the current mode could not be read, or without the
         * native extension.
         */
        public function setScreenResolution(width:int, height:int):Boolean
        {
            if (context == null)
                return false;
            try
            {
                // The library answers null, not false, when it could not even
                // read the current mode; both mean the screen did not change.
                return context.call(SET_SCREEN_RESOLUTION, width, height) === true;
            }
            catch (error:Error)
            {
            }
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
            }
            catch (error:Error)
            {
            }
        }

        /**
         * Releases the native context. It restores nothing: call the restore
         * methods first. Every method afterwards does nothing.
         */
        public function dispose():void
        {
            if (context == null)
                return;
            // Forget the context before disposing it, so that a second
            // dispose() cannot reach the runtime even if this one throws.
            var disposing:ExtensionContext = context;
            context = null;
            try
            {
                disposing.dispose();
            }
            catch (error:Error)
            {
            }
        }
    }
}
