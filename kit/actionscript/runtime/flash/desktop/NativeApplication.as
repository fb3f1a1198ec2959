package flash.desktop
{
    import flash.events.EventDispatcher;

    /** The runtime's NativeApplication, declared for compiling against (see flash.events.EventDispatcher). */
    public class NativeApplication extends EventDispatcher
    {
        public static function get nativeApplication():NativeApplication { return null; }

        public function exit(errorCode:int = 0):void {}
    }
}
