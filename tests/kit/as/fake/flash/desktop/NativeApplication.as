package flash.desktop
{
    import flash.events.Event;

    /**
     * A stand-in NativeApplication for running the kit's ActionScript in the
     * tests' AVM2. Of the runtime's members only those VelmorantUtils uses
     * are declared, with the runtime's signatures; reset(), dispatchExiting()
     * and dispatchActivate() are the tests' own.
     */
    public class NativeApplication
    {
        private static var application:NativeApplication = new NativeApplication();

        // { type, listener, priority }, in the order they are called.
        private var listeners:Array = [];

        public static function get nativeApplication():NativeApplication
        {
            return application;
        }

        /** Forgets every listener. */
        public static function reset():void
        {
            application.listeners = [];
        }

        /**
         * Sends a cancelable exiting event, as the runtime does before it quits
         * on its own, and returns how many listeners it reached.
         */
        public static function dispatchExiting():int
        {
            return dispatch(new Event(Event.EXITING, false, true));
        }

        /**
         * Sends activate, as the runtime does when the application comes to
         * the front, and returns how many listeners it reached.
         */
        public static function dispatchActivate():int
        {
            return dispatch(new Event(Event.ACTIVATE));
        }

        private static function dispatch(event:Event):int
        {
            var reached:int = 0;
            for each (var entry:Object in application.listeners.slice())
            {
                if (entry.type != event.type)
                    continue;
                entry.listener(event);
                reached++;
            }
            return reached;
        }

        /** Kept in dispatch order: higher priorities first, equal ones in the order added. */
        public function addEventListener(type:String, listener:Function, useCapture:Boolean = false,
                                         priority:int = 0, useWeakReference:Boolean = false):void
        {
            var at:int = 0;
            while (at < listeners.length && listeners[at].priority >= priority)
                at++;
            listeners.splice(at, 0, { type: type, listener: listener, priority: priority });
        }

        public function removeEventListener(type:String, listener:Function, useCapture:Boolean = false):void
        {
            listeners = listeners.filter(function(entry:Object, index:int, all:Array):Boolean {
                return entry.type != type || entry.listener != listener;
            });
        }
    }
}
