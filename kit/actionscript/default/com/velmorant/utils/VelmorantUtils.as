package com.velmorant.utils
{
    /**
     * The VelmorantUtils class on platforms without the native library. An
     * application built against the Windows library runs unchanged there:
     * the same members exist, with the same shared object, nothing happens,
     * and nothing reports success.
     */
    public class VelmorantUtils
    {
        /** The id in extension.xml, and what the application descriptor names. */
        public static const EXTENSION_ID:String = "com.velmorant.VelmorantUtils";

        /** The version of the extension this class belongs to. */
        public static const VERSION:String = CONFIG::VERSION;

        private static var shared:VelmorantUtils;

        // As on Windows, new from anywhere but instance is refused, so that an
        // application that does it fails here as it would there.
        private static var opening:Boolean = false;

        /** Kept for the same API; there is nothing to restore here. */
        public var restoreScreenOnExit:Boolean = true;

        /** Kept for the same API; there is nothing to restore here. */
        public var restoreKeyboardOnExit:Boolean = false;

        /** Kept for the same API; there is no switch to make again here. */
        public var reapplyOnActivate:Boolean = true;

        /** Not for applications, which use VelmorantUtils.instance: throws elsewhere. */
        public function VelmorantUtils()
        {
            if (!opening)
                throw new Error("VelmorantUtils has one shared object: use VelmorantUtils.instance");
        }

        /** The shared object, made on first use and again after dispose(). */
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

        /** Always false: there is no native library here. */
        public static function get isSupported():Boolean
        {
            return false;
        }

        /** Always empty: there is no switch here to reach a size with. */
        public function get screenSizes():Array
        {
            return [];
        }

        /** Always false: the screen mode is left alone. */
        public function setScreenResolution(width:int, height:int, temporary:Boolean = true):Boolean
        {
            return false;
        }

        public function restoreScreenResolution():void
        {
        }

        public function setKeyboardSpeed(speed:int):void
        {
        }

        public function restoreKeyboardSpeed():void
        {
        }

        /** Forgets the shared object: the next use of instance makes a fresh one. */
        public function dispose():void
        {
            if (shared == this)
                shared = null;
        }
    }
}
