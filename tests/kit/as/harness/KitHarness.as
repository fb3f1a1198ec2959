package
{
    import com.velmorant.utils.VelmorantUtils;
    import flash.desktop.NativeApplication;
    import flash.external.ExtensionContext;

    /**
     * Entry point for the compiler: it pulls VelmorantUtils, the recording
     * ExtensionContext and the stand-in NativeApplication into the Node build,
     * even for the default class, which must never touch either but is run
     * beside them to prove that. The
     * tests drive the classes themselves, so the constructor does nothing.
     */
    public class KitHarness
    {
        public function KitHarness()
        {
        }

        public static function get subject():Class
        {
            return VelmorantUtils;
        }

        public static function get recorder():Class
        {
            return ExtensionContext;
        }

        public static function get application():Class
        {
            return NativeApplication;
        }
    }
}
